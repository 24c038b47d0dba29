#ifndef TUMBLIX_HOST_PLATFORM_FILES_PREFERENCESTORE_H
#define TUMBLIX_HOST_PLATFORM_FILES_PREFERENCESTORE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct _GKeyFile;

// The per-module preference store: typed values by key in the group
// [<module>] of $XDG_CONFIG_HOME/<module>/preferences.ini, kept in memory
// and written back as a whole by synchronize.
//
// A key that is absent, or whose value does not parse as the type asked for,
// reads as NO, 0, 0.0 or no string. A file that cannot be read as a store is
// moved aside to preferences.ini.bad (.bad.1, .bad.2, ... when that name is
// taken) before anything is written, and the store starts empty; if it cannot
// be moved aside the store starts empty and refuses to write over it.
class ScreenSaverDefaults {
  public:
    // Null only for a module name that cannot name a folder (empty, or with "/").
    static std::unique_ptr<ScreenSaverDefaults> defaultsForModuleWithName(const char* module);
    ~ScreenSaverDefaults();
    ScreenSaverDefaults(const ScreenSaverDefaults&) = delete;
    ScreenSaverDefaults& operator=(const ScreenSaverDefaults&) = delete;

    bool boolForKey(const char* key) const;
    int64_t integerForKey(const char* key) const;
    float floatForKey(const char* key) const; // finite values in float range only
    std::optional<std::string> stringForKey(const char* key) const;

    void setBool(bool value, const char* key);
    void setInteger(int64_t value, const char* key);
    void setFloat(float value, const char* key);
    // Strings are kept as UTF-8 text; other bytes (or a NUL) cannot be stored
    // and give false, leaving the key as it was.
    bool setObject(const std::string& value, const char* key);

    // Writes the whole store to its file atomically (a temporary file renamed
    // over it), creating the folder when missing. On false, error() says why.
    bool synchronize();

    const std::string& path() const { return filePath; }
    // Where an unreadable store file was moved at opening; empty when none was.
    const std::string& keptDamagedAs() const { return keptAs; }
    const std::string& error() const { return lastError; }

  private:
    ScreenSaverDefaults(std::string path, std::string group);
    void Open();
    std::optional<std::string> TrimmedValue(const char* key) const;

    _GKeyFile* keyFile = nullptr;
    std::string filePath;
    std::string writePath; // the file a symbolic link at filePath points to
    std::string group;
    std::string keptAs;
    std::string lastError;
    bool refusesWrites = false;
};

#endif
