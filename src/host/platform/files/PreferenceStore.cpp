#include "host/platform/files/PreferenceStore.h"

#include "host/platform/files/UserFolders.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Far beyond anything the saver writes; a bigger file is not one of ours and
// is not read into memory.
constexpr off_t LARGEST_STORE = 16 * 1024 * 1024;

// Doubles below this round to a finite float (FLT_MAX plus half its ulp).
constexpr double FLOAT_LIMIT = double(FLT_MAX) + 0x1p103;

enum class StoreFile { Read, Missing, Unreadable };

// Reads the whole file. Opened without blocking, so a FIFO or device at the
// path cannot hang the saver; anything but a regular file is unreadable.
StoreFile ReadStoreFile(const std::string& path, std::string* bytes, std::string* why) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return StoreFile::Missing;
        }
        *why = std::strerror(errno);
        return StoreFile::Unreadable;
    }
    struct stat info;
    StoreFile result = StoreFile::Read;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *why = "not a regular file";
        result = StoreFile::Unreadable;
    } else if (info.st_size > LARGEST_STORE) {
        *why = "larger than any preference file";
        result = StoreFile::Unreadable;
    } else {
        bytes->clear();
        char chunk[65536];
        for (;;) {
            const ssize_t got = read(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                *why = std::strerror(errno);
                result = StoreFile::Unreadable;
                break;
            }
            if (got == 0) {
                break;
            }
            bytes->append(chunk, size_t(got));
            if (bytes->size() > size_t(LARGEST_STORE)) {
                *why = "larger than any preference file";
                result = StoreFile::Unreadable;
                break;
            }
        }
    }
    close(fd);
    return result;
}

// Renames path to the first free name of path.bad, path.bad.1, ... without
// ever replacing an earlier damaged file.
bool MoveAside(const std::string& path, std::string* keptAs) {
    for (int n = 0; n < 100; n++) {
        const std::string target = path + ".bad" + (n == 0 ? "" : "." + std::to_string(n));
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            *keptAs = target;
            return true;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            return false;
        }
        // A file system without no-replace renames: look first.
        struct stat info;
        if (lstat(target.c_str(), &info) == 0) {
            continue;
        }
        if (rename(path.c_str(), target.c_str()) == 0) {
            *keptAs = target;
            return true;
        }
        return false;
    }
    return false;
}

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

// The file a chain of symbolic links at path ends in, whether or not it
// exists yet (a dotfile manager may link to a file it has not made); path
// itself when it is no link. Relative links count from their own folder.
std::string LinkTarget(std::string path) {
    for (int hops = 0; hops < 40; hops++) {
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
        if (n <= 0 || size_t(n) >= buffer.size()) {
            break;
        }
        const std::string link(buffer.data(), size_t(n));
        path = link[0] == '/' ? link : ParentFolder(path) + "/" + link;
    }
    return path;
}

} // namespace

std::unique_ptr<ScreenSaverDefaults>
ScreenSaverDefaults::defaultsForModuleWithName(const char* module) {
    if (module == nullptr || module[0] == '\0' || std::strchr(module, '/') != nullptr ||
        std::strcmp(module, ".") == 0 || std::strcmp(module, "..") == 0) {
        return nullptr;
    }
    const std::string path = UserConfigHome() + "/" + module + "/preferences.ini";
    std::unique_ptr<ScreenSaverDefaults> store(new ScreenSaverDefaults(path, module));
    store->Open();
    return store;
}

ScreenSaverDefaults::ScreenSaverDefaults(std::string path, std::string groupName)
    : filePath(std::move(path)), writePath(filePath), group(std::move(groupName)) {}

ScreenSaverDefaults::~ScreenSaverDefaults() {
    if (keyFile != nullptr) {
        g_key_file_free(keyFile);
    }
}

void ScreenSaverDefaults::Open() {
    keyFile = g_key_file_new();
    std::string bytes, why;
    // Through a symbolic link (a managed dotfile) the file it names is read,
    // written and kept aside, so the link stays a link.
    writePath = LinkTarget(filePath);
    const StoreFile file = ReadStoreFile(writePath, &bytes, &why);
    if (file == StoreFile::Missing) {
        return;
    }
    if (file == StoreFile::Read) {
        GError* error = nullptr;
        // A NUL has no place in a text file and would cut its line short.
        const bool text = std::memchr(bytes.data(), '\0', bytes.size()) == nullptr;
        if (text &&
            g_key_file_load_from_data(
                keyFile, bytes.data(), bytes.size(),
                GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS), &error)) {
            return;
        }
        why = error != nullptr ? error->message : "not a text file";
        g_clear_error(&error);
        g_key_file_free(keyFile);
        keyFile = g_key_file_new();
    }
    // Keep what the user had before anything is written over it.
    if (!MoveAside(writePath, &keptAs)) {
        refusesWrites = true;
        lastError = filePath + " cannot be read (" + why +
                    ") and cannot be moved aside; it is left as it is";
    }
}

std::optional<std::string> ScreenSaverDefaults::TrimmedValue(const char* key) const {
    gchar* raw = g_key_file_get_value(keyFile, group.c_str(), key, nullptr);
    if (raw == nullptr) {
        return std::nullopt;
    }
    std::string value = g_strstrip(raw);
    g_free(raw);
    return value;
}

bool ScreenSaverDefaults::boolForKey(const char* key) const {
    const std::optional<std::string> value = TrimmedValue(key);
    return value && (*value == "true" || *value == "1");
}

int64_t ScreenSaverDefaults::integerForKey(const char* key) const {
    const std::optional<std::string> value = TrimmedValue(key);
    gint64 number = 0;
    if (!value ||
        !g_ascii_string_to_signed(value->c_str(), 10, G_MININT64, G_MAXINT64, &number, nullptr)) {
        return 0;
    }
    return number;
}

float ScreenSaverDefaults::floatForKey(const char* key) const {
    const std::optional<std::string> value = TrimmedValue(key);
    if (!value || value->empty()) {
        return 0.0f;
    }
    gchar* end = nullptr;
    const double number = g_ascii_strtod(value->c_str(), &end);
    if (end == nullptr || *end != '\0' || !(std::fabs(number) < FLOAT_LIMIT)) {
        return 0.0f;
    }
    return float(number);
}

std::optional<std::string> ScreenSaverDefaults::stringForKey(const char* key) const {
    // Unescapes, and refuses text that is not UTF-8.
    gchar* text = g_key_file_get_string(keyFile, group.c_str(), key, nullptr);
    if (text == nullptr) {
        return std::nullopt;
    }
    std::string value = text;
    g_free(text);
    return value;
}

void ScreenSaverDefaults::setBool(bool value, const char* key) {
    g_key_file_set_boolean(keyFile, group.c_str(), key, value);
}

void ScreenSaverDefaults::setInteger(int64_t value, const char* key) {
    g_key_file_set_int64(keyFile, group.c_str(), key, value);
}

void ScreenSaverDefaults::setFloat(float value, const char* key) {
    // Nine significant digits bring every float back exactly; the C locale
    // always writes a point.
    char text[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_formatd(text, sizeof text, "%.9g", double(value));
    g_key_file_set_value(keyFile, group.c_str(), key, text);
}

bool ScreenSaverDefaults::setObject(const std::string& value, const char* key) {
    if (!g_utf8_validate(value.data(), gssize(value.size()), nullptr)) {
        return false;
    }
    g_key_file_set_string(keyFile, group.c_str(), key, value.c_str());
    return true;
}

bool ScreenSaverDefaults::synchronize() {
    if (refusesWrites) {
        return false; // lastError already says why
    }
    const std::string folder = ParentFolder(writePath);
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        lastError = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    gsize length = 0;
    gchar* data = g_key_file_to_data(keyFile, &length, nullptr);
    GError* error = nullptr;
    // A temporary file beside the store, flushed and renamed over it.
    const bool written = g_file_set_contents(writePath.c_str(), data, gssize(length), &error);
    g_free(data);
    if (!written) {
        lastError = error != nullptr ? error->message : "cannot write " + writePath;
        g_clear_error(&error);
        return false;
    }
    lastError.clear();
    return true;
}
