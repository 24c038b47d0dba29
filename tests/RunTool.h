#ifndef TUMBLIX_TESTS_RUNTOOL_H
#define TUMBLIX_TESTS_RUNTOOL_H

#include <string>

// Runs one of the build's programs (bin/NAME) with a shell command line of
// arguments, returning its exit status and what it printed on stdout.
struct ToolResult {
    int status = -1;
    std::string out;
};
std::string BuildProgram(const std::string& name);
ToolResult RunTool(const std::string& commandLine);
std::string Quote(const std::string& text); // for the shell

#endif
