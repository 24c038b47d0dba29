#ifndef TUMBLIX_HOST_PLATFORM_FILES_SESSIONLOCK_H
#define TUMBLIX_HOST_PLATFORM_FILES_SESSIONLOCK_H

#include <string>

// One of a kind per session: a lock file in the session's runtime folder
// ($XDG_RUNTIME_DIR), named after the role and the display, held for the
// life of the object and let go with the process however it ends.
class SessionLock {
  public:
    enum Result { TAKEN, HELD_ELSEWHERE, UNAVAILABLE };
    SessionLock() = default;
    ~SessionLock();
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    // role names what is single ("tumblix", "tumblix-watch"); display the
    // session's display ($WAYLAND_DISPLAY or $DISPLAY), of which only the
    // last part of a path counts. UNAVAILABLE when no lock can be made (no
    // runtime folder): callers then run all the same rather than never.
    Result Take(const std::string& role, const std::string& display);

  private:
    int fd = -1;
};

#endif
