#ifndef TUMBLIX_TESTS_ERRORLOG_H
#define TUMBLIX_TESTS_ERRORLOG_H

#include <string>
#include <vector>

// Records what the engine hands its error hook and its alerts while alive.
class ErrorLog {
  public:
    ErrorLog();
    ~ErrorLog();
    const std::vector<std::string>& errors() const;
    // "title|text" of every alert.
    const std::vector<std::string>& alerts() const;
    bool Saw(const std::string& error) const;
};

#endif
