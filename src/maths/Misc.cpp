#include "maths/Misc.h"

#include <cstdio>

namespace {
ErrorSink errorSink = nullptr;
AlertPresenter alertPresenter = nullptr;
} // namespace

point2d Make2DPoint(float x, float y) {
    point2d p;
    p.x = x;
    p.y = y;
    return p;
}

void ERRORCLOSE(const char* message) {
    if (errorSink != nullptr && message != nullptr) {
        errorSink(message);
    }
}

void SetErrorSink(ErrorSink sink) {
    errorSink = sink;
}

ErrorSink CurrentErrorSink() {
    return errorSink;
}

int MessageBox(void* /*owner*/, const char* text, const char* title, int /*flags*/) {
    const char* t = title != nullptr ? title : "";
    const char* m = text != nullptr ? text : "";
    if (alertPresenter != nullptr) {
        alertPresenter(t, m);
    } else {
        std::fprintf(stderr, "tumblix: %s: %s\n", t, m);
    }
    return 0;
}

void SetAlertPresenter(AlertPresenter presenter) {
    alertPresenter = presenter;
}

AlertPresenter CurrentAlertPresenter() {
    return alertPresenter;
}
