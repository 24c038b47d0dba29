#ifndef TUMBLIX_FUZZ_FUZZINPUT_H
#define TUMBLIX_FUZZ_FUZZINPUT_H

// The asset readers work on files: each fuzz run's input is written to one
// temporary file of the process, rewritten every run and removed at exit.

#include "maths/Misc.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzzinput {

inline std::string& Path() {
    static std::string path;
    return path;
}

inline void Remove() {
    if (!Path().empty()) {
        unlink(Path().c_str());
    }
}

inline void Quiet(const char*, const char*) {}

// Alerts would only flood the output.
inline void Init() {
    SetAlertPresenter(&Quiet);
}

inline const char* Write(const uint8_t* data, size_t size) {
    static int fd = -1;
    if (fd < 0) {
        // Memory-backed when there is a /dev/shm: rewriting a file on disk
        // every run costs more than the decoding.
        char shm[] = "/dev/shm/tumblix-fuzz-XXXXXX";
        char tmp[] = "/tmp/tumblix-fuzz-XXXXXX";
        char* pattern = shm;
        fd = mkstemp(shm);
        if (fd < 0) {
            pattern = tmp;
            fd = mkstemp(tmp);
        }
        if (fd < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        Path() = pattern;
        std::atexit(&Remove);
    }
    if (ftruncate(fd, off_t(size)) != 0 ||
        (size > 0 && pwrite(fd, data, size, 0) != ssize_t(size))) {
        std::perror("writing the fuzz input");
        std::abort();
    }
    return Path().c_str();
}

} // namespace fuzzinput

#endif
