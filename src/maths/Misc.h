#ifndef TUMBLIX_MATHS_MISC_H
#define TUMBLIX_MATHS_MISC_H

#include "maths/NiftyMaths.h"

point2d Make2DPoint(float x, float y);

// The engine's error hook: loading code hands it a message just before it
// returns false. It shows, logs and closes nothing; the false result is what
// callers act on. A host may connect a sink to see the messages (--verbose).
void ERRORCLOSE(const char* message);
using ErrorSink = void (*)(const char* message);
void SetErrorSink(ErrorSink sink); // nullptr disconnects
ErrorSink CurrentErrorSink();

// A modal alert with one "OK" button, the only place the engine shows an
// error to the user. The host decides how it is presented; without a
// presenter the title and text go to stderr. owner and flags are ignored.
int MessageBox(void* owner, const char* text, const char* title, int flags);
using AlertPresenter = void (*)(const char* title, const char* text);
void SetAlertPresenter(AlertPresenter presenter); // nullptr restores stderr
AlertPresenter CurrentAlertPresenter();

#endif
