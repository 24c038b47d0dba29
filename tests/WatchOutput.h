#ifndef TUMBLIX_TESTS_WATCHOUTPUT_H
#define TUMBLIX_TESTS_WATCHOUTPUT_H

#include <csignal>
#include <string>
#include <sys/types.h>

// What `tumblix --verbose --watch` says it does, as the tests read it.
namespace watchoutput {

inline int Count(const std::string& text, const std::string& line) {
    int n = 0;
    for (size_t at = 0; (at = text.find(line, at)) != std::string::npos; at += line.size()) {
        n++;
    }
    return n;
}

constexpr const char* STARTED = "watch: started the saver (pid ";
constexpr const char* ENDED = "watch: the saver ended";
constexpr const char* IDLE = "watch: idle\n";

inline int Starts(const std::string& out) {
    return Count(out, STARTED);
}
inline int Ends(const std::string& out) {
    return Count(out, ENDED);
}

// The process id of the last saver started; 0 when none was.
inline pid_t LastSaver(const std::string& out) {
    const size_t at = out.rfind(STARTED);
    return at == std::string::npos ? 0
                                   : pid_t(std::stol(out.substr(at + std::string(STARTED).size())));
}

// Whether a process of that id is there (and not a zombie left unreaped).
inline bool Alive(pid_t pid) {
    return pid > 0 && kill(pid, 0) == 0;
}

} // namespace watchoutput

#endif
