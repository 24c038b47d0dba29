#include "host/platform/files/RegularFile.h"

#include <SDL.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int OpenRegularFile(const std::string& path, struct stat* info) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return -1;
    }
    if (fstat(fd, info) != 0 || !S_ISREG(info->st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

SDL_RWops* OpenRegularFileStream(const char* path) {
    struct stat info;
    const int fd = OpenRegularFile(path, &info);
    if (fd < 0) {
        SDL_SetError("%s", errno == EINVAL ? "it is not a regular file" : std::strerror(errno));
        return nullptr;
    }
    FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        close(fd);
        SDL_SetError("%s", std::strerror(errno));
        return nullptr;
    }
    SDL_RWops* stream = SDL_RWFromFP(file, SDL_TRUE);
    if (stream == nullptr) {
        std::fclose(file);
    }
    return stream;
}
