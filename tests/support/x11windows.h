// Finding another client's windows on the test's X display.
#ifndef PONTIRO_TESTS_SUPPORT_X11WINDOWS_H
#define PONTIRO_TESTS_SUPPORT_X11WINDOWS_H

#include <string>

// As Xlib declares them, so that this header need not bring Xlib's macros
// (None, Bool, Status...) in ahead of other headers.
typedef struct _XDisplay Display;
typedef unsigned long Window;

// The top-level window with this title, or 0 when there is none (yet).
Window FindTitledWindow(Display* display, const std::string& title);

#endif
