#include "ErrorLog.h"

#include "maths/Misc.h"

#include <algorithm>

namespace {
std::vector<std::string> errorList;
std::vector<std::string> alertList;
void Sink(const char* message) {
    errorList.push_back(message);
}
void Presenter(const char* title, const char* text) {
    alertList.push_back(std::string(title) + "|" + text);
}
} // namespace

ErrorLog::ErrorLog() {
    errorList.clear();
    alertList.clear();
    SetErrorSink(Sink);
    SetAlertPresenter(Presenter);
}

ErrorLog::~ErrorLog() {
    SetErrorSink(nullptr);
    SetAlertPresenter(nullptr);
}

const std::vector<std::string>& ErrorLog::errors() const {
    return errorList;
}
const std::vector<std::string>& ErrorLog::alerts() const {
    return alertList;
}

bool ErrorLog::Saw(const std::string& error) const {
    return std::find(errorList.begin(), errorList.end(), error) != errorList.end();
}
