#ifndef TUMBLIX_TESTS_TEMPDIR_H
#define TUMBLIX_TESTS_TEMPDIR_H

#include <string>

// A fresh folder under $TMPDIR or /tmp, removed with its contents when the
// object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return dir; }
    std::string operator/(const std::string& name) const { return dir + "/" + name; }
    // The folder with a trailing "/", as the engine's folder texts have it.
    std::string slash() const { return dir + "/"; }
    std::string Subdir(const std::string& name) const; // created

  private:
    std::string dir;
};

#endif
