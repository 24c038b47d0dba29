#include "host/platform/files/SessionLock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SessionLock::~SessionLock() {
    if (fd >= 0) {
        close(fd);
    }
}

SessionLock::Result SessionLock::Take(const std::string& role, const std::string& display) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (fd >= 0) {
        return TAKEN;
    }
    if (runtime == nullptr || runtime[0] != '/') {
        return UNAVAILABLE;
    }
    const std::string name = display.substr(display.rfind('/') + 1);
    const std::string path = std::string(runtime) + "/" + role + "-" + name + ".lock";
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return UNAVAILABLE;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        return TAKEN;
    }
    const Result result = errno == EWOULDBLOCK ? HELD_ELSEWHERE : UNAVAILABLE;
    close(fd);
    fd = -1;
    return result;
}
