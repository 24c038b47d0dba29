#ifndef TUMBLIX_TESTS_CHILDPROCESS_H
#define TUMBLIX_TESTS_CHILDPROCESS_H

#include <functional>
#include <string>
#include <utility>
#include <vector>

// A program running beside the test: started with extra environment,
// its stdout and stderr kept in a file, killed when the object goes.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // An env entry whose name starts with '-' unsets that variable.
    bool Start(const std::vector<std::string>& argv,
               const std::vector<std::pair<std::string, std::string>>& env = {});
    bool Running();
    // Waits at most `seconds` for the exit; true with the exit status (-1
    // for a death by signal) when it came.
    bool WaitExit(double seconds, int* status);
    void Signal(int signal);
    std::string Output() const; // what it printed so far

  private:
    int child = -1;
    bool reaped = false;
    int exitStatus = -1;
    std::string outputPath;
};

// Polls `done` every few milliseconds for at most `seconds`: other
// processes cannot be stepped like a simulated clock.
bool WaitFor(double seconds, const std::function<bool()>& done);

// How long a test waits for another process to show or do something: far
// more than it ever takes, so that only a fault runs into it.
constexpr double kPatience = 30.0;

// A shell command line's exit status and what it printed on stdout.
struct ToolResult {
    int status = -1;
    std::string out;
};
ToolResult RunTool(const std::string& commandLine);
// The same in this environment (ChildProcess::Start's), as a compositor's
// client; what it printed on stderr too. Bounded by kPatience.
ToolResult RunToolIn(const std::vector<std::pair<std::string, std::string>>& env,
                     const std::string& commandLine);
std::string Quote(const std::string& text); // for the shell
// A path in the build folder ($TUMBLIX_BUILD_DIR), and one of its programs.
std::string BuildPath(const std::string& relative);
std::string BuildProgram(const std::string& name); // bin/NAME

#endif
