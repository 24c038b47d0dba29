#ifndef TUMBLIX_FUZZ_FUZZINPUT_H
#define TUMBLIX_FUZZ_FUZZINPUT_H

// What the fuzz targets share: a private folder for the run, the input
// written to a file in it for the readers that take files, and the check
// that stops the run when a property fails. Alerts are kept quiet.

#include "assets/TGALoader.h"
#include "maths/Misc.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fuzzinput {

inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// Memory-backed when there is a /dev/shm: rewriting a file on disk every run
// costs more than the decoding. Removed at exit.
inline const std::string& Folder() {
    static std::string folder;
    if (folder.empty()) {
        char shm[] = "/dev/shm/tumblix-fuzz-XXXXXX", tmp[] = "/tmp/tumblix-fuzz-XXXXXX";
        const char* made = mkdtemp(shm);
        made = made != nullptr ? made : mkdtemp(tmp);
        Check(made != nullptr, "no temporary folder");
        folder = made;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
    }
    return folder;
}

inline const bool quiet = (SetAlertPresenter([](const char*, const char*) {}), true);

// The input as the one file of the run, rewritten every run.
inline const char* Write(const uint8_t* data, size_t size) {
    static const std::string path = Folder() + "/input";
    static const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    Check(fd >= 0 && ftruncate(fd, off_t(size)) == 0 &&
              (size == 0 || pwrite(fd, data, size, 0) == ssize_t(size)),
          "the input could not be written");
    return path.c_str();
}

// A container reader (bottle data file or resource container) on the input:
// seek to every lump, out of range too, and decode the images.
template <class Container> void WalkLumps(const uint8_t* data, size_t size) {
    Container file;
    if (file.Open(Write(data, size))) {
        const int count = int(file.header.numLumps);
        for (int i = 0; i < count; i++) {
            if (file.SeekLump(i) && file.lumps[i].type == 1) {
                Texture texture;
                LoadTGA2(&texture, &file.stream);
            }
        }
        file.SeekLump(-1);
        file.SeekLump(count);
    }
    file.SeekLump(0);
    file.Close();
}

} // namespace fuzzinput

#endif
