#include "RunTool.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

std::string BuildPath(const std::string& relative) {
    const char* build = std::getenv("TUMBLIX_BUILD_DIR");
    return std::string(build != nullptr ? build : ".") + "/" + relative;
}

std::string BuildProgram(const std::string& name) {
    return BuildPath("bin/" + name);
}

std::string Quote(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

ToolResult RunTool(const std::string& commandLine) {
    ToolResult r;
    FILE* p = popen(commandLine.c_str(), "r");
    if (p == nullptr) {
        return r;
    }
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) {
        r.out.append(buffer, n);
    }
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}
