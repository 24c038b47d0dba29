#ifndef TUMBLIX_TESTS_RUNTOOL_H
#define TUMBLIX_TESTS_RUNTOOL_H

#include <string>

// A shell command line's exit status and what it printed on stdout.
struct ToolResult {
    int status = -1;
    std::string out;
};
ToolResult RunTool(const std::string& commandLine);
std::string Quote(const std::string& text); // for the shell
// A path in the build folder ($TUMBLIX_BUILD_DIR), and one of its programs.
std::string BuildPath(const std::string& relative);
std::string BuildProgram(const std::string& name); // bin/NAME

#endif
