#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

bool LoopbackServer::Start(const std::string& root) {
    const char* source = std::getenv("TUMBLIX_SOURCE_DIR");
    if (source == nullptr ||
        !process.Start({"python3", std::string(source) + "/tests/loopback_server.py", root})) {
        return false;
    }
    WaitFor(kPatience, [&] { return process.Output().find('\n') != std::string::npos; });
    const std::string out = process.Output();
    port = out.rfind("port ", 0) == 0 ? std::atoi(out.c_str() + 5) : 0;
    return port > 0;
}

std::string LoopbackServer::Address(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

int UnusedLoopbackPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    close(s);
    return bound ? ntohs(address.sin_port) : 0;
}
