#include "ChildProcess.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

bool WaitFor(double seconds, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

ChildProcess::~ChildProcess() {
    if (child > 0 && !reaped) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    if (!outputPath.empty()) {
        std::remove(outputPath.c_str());
    }
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/tumblix-child-XXXXXX";
    const int out = mkstemp(pattern.data());
    if (out < 0) {
        return false;
    }
    outputPath = pattern;
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    child = fork();
    if (child == 0) {
        for (const auto& [name, value] : env) {
            if (!name.empty() && name[0] == '-') {
                unsetenv(name.c_str() + 1);
            } else {
                setenv(name.c_str(), value.c_str(), 1);
            }
        }
        dup2(out, 1);
        dup2(out, 2);
        close(out);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out);
    reaped = false;
    return child > 0;
}

bool ChildProcess::Running() {
    if (child <= 0 || reaped) {
        return false;
    }
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
        reaped = true;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    return true;
}

bool ChildProcess::WaitExit(double seconds, int* status) {
    const bool exited = WaitFor(seconds, [&] { return !Running(); }) && reaped;
    if (exited && status != nullptr) {
        *status = exitStatus;
    }
    return exited;
}

void ChildProcess::Signal(int signal) {
    if (child > 0 && !reaped) {
        kill(child, signal);
    }
}

std::string ChildProcess::Output() const {
    std::ifstream in(outputPath);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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

ToolResult RunToolIn(const std::vector<std::pair<std::string, std::string>>& env,
                     const std::string& commandLine) {
    ChildProcess shell;
    ToolResult r;
    if (shell.Start({"sh", "-c", commandLine}, env) && shell.WaitExit(kPatience, &r.status)) {
        r.out = shell.Output();
    }
    return r;
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
