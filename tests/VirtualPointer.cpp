#include "VirtualPointer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Count(const std::string& text, const std::string& word) {
    int n = 0;
    for (size_t at = 0; (at = text.find(word, at)) != std::string::npos; at += word.size()) {
        n++;
    }
    return n;
}

} // namespace

VirtualPointer::VirtualPointer(const Env& display) {
    const std::string fifo = folder / "commands";
    // Opened for reading too, so that neither end waits for the other.
    if (mkfifo(fifo.c_str(), 0600) != 0 || (pipe = open(fifo.c_str(), O_RDWR | O_CLOEXEC)) < 0) {
        return;
    }
    client.Start({"sh", "-c", "exec \"$0\" <\"$1\"", BuildProgram("tumblix-vpointer"), fifo},
                 display);
    // The device is on the seat once the first (empty) line is answered.
    Do("");
}

VirtualPointer::~VirtualPointer() {
    if (pipe >= 0) {
        close(pipe);
    }
    client.WaitExit(kPatience, nullptr);
}

bool VirtualPointer::Do(const std::string& commands) {
    const std::string line = commands + "\n";
    if (pipe < 0 || write(pipe, line.data(), line.size()) != ssize_t(line.size())) {
        return false;
    }
    done++;
    bool ok = false;
    WaitFor(kPatience, [&] {
        const std::string out = client.Output();
        ok = Count(out, "ok\n") >= done;
        return ok || Count(out, "error\n") > 0 || !client.Running();
    });
    return ok;
}
