#include "ErrorLog.h"

#include "maths/Misc.h"

std::vector<std::string> ErrorLog::errorList, ErrorLog::alertList;

ErrorLog::ErrorLog() {
    errorList.clear();
    alertList.clear();
    SetErrorSink([](const char* message) { errorList.push_back(message); });
    SetAlertPresenter([](const char* title, const char* text) {
        alertList.push_back(std::string(title) + "|" + text);
    });
}

ErrorLog::~ErrorLog() {
    SetErrorSink(nullptr);
    SetAlertPresenter(nullptr);
}
