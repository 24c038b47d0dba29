#include "host/Diagnostics.h"

#include "maths/Misc.h"

#include <cstdio>

namespace {
std::string lastError;
bool printing = false;

void Sink(const char* message) {
    lastError = message;
    if (printing) {
        std::fprintf(stderr, "tumblix: %s\n", message);
    }
}
} // namespace

void Diagnostics::Install(bool verbose) {
    printing = verbose;
    SetErrorSink(Sink);
}

void Diagnostics::Clear() { lastError.clear(); }

const std::string& Diagnostics::LastError() { return lastError; }

bool Diagnostics::Verbose() { return printing; }

void Diagnostics::Note(const std::string& line) {
    if (printing) {
        std::fprintf(stderr, "tumblix: %s\n", line.c_str());
    }
}
