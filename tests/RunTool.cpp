#include "RunTool.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

std::string BuildProgram(const std::string& name) {
    const char* build = std::getenv("TUMBLIX_BUILD_DIR");
    return std::string(build != nullptr ? build : ".") + "/bin/" + name;
}

std::string Quote(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

ToolResult RunTool(const std::string& commandLine) {
    ToolResult r;
    FILE* p = popen(commandLine.c_str(), "r");
    if (p == nullptr)
        return r;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), p)) > 0)
        r.out.append(buffer.data(), n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}
