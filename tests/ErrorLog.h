#ifndef TUMBLIX_TESTS_ERRORLOG_H
#define TUMBLIX_TESTS_ERRORLOG_H

#include <algorithm>
#include <string>
#include <vector>

// Records what the engine hands its error hook and its alerts
// ("title|text") while alive.
class ErrorLog {
  public:
    ErrorLog();
    ~ErrorLog();
    const std::vector<std::string>& errors() const { return errorList; }
    const std::vector<std::string>& alerts() const { return alertList; }
    bool Saw(const std::string& e) const {
        return std::find(errorList.begin(), errorList.end(), e) != errorList.end();
    }

  private:
    static std::vector<std::string> errorList, alertList;
};

#endif
