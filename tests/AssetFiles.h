#ifndef TUMBLIX_TESTS_ASSETFILES_H
#define TUMBLIX_TESTS_ASSETFILES_H

// Helpers for the tests of the asset readers: a temporary folder per test,
// little-endian patching of encoded files, and a recorder of the alerts the
// decoder shows.

#include "brewlib/ContainerWriter.h"
#include "maths/Misc.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tumblix-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path = pattern;
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path.empty()) {
            std::filesystem::remove_all(path, ignored);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Writes bytes to name inside the folder and returns the full path.
    std::string Write(const std::string& name, const brew::Bytes& bytes) const {
        const std::string file = path + "/" + name;
        std::string error;
        EXPECT_TRUE(brew::WriteFileBytes(file, bytes, &error)) << error;
        return file;
    }

    std::string path;
};

inline void PutU32(brew::Bytes& bytes, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; i++) {
        bytes[offset + i] = uint8_t(v >> (8 * i));
    }
}

inline uint32_t GetU32(const brew::Bytes& bytes, size_t offset) {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
           uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

// Records every alert while it lives; nothing reaches stderr.
class AlertRecorder {
  public:
    using Alert = std::pair<std::string, std::string>; // title, text

    AlertRecorder() {
        Alerts().clear();
        SetAlertPresenter(&Record);
    }
    ~AlertRecorder() { SetAlertPresenter(nullptr); }

    const std::vector<Alert>& alerts() const { return Alerts(); }
    void Clear() { Alerts().clear(); }

  private:
    static std::vector<Alert>& Alerts() {
        static std::vector<Alert> recorded;
        return recorded;
    }
    static void Record(const char* title, const char* text) { Alerts().emplace_back(title, text); }
};

#endif
