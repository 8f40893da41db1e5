#include "tests/support/x11windows.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

Window FindTitledWindow(Display* display, const std::string& title)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
    {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name)
        {
            if (title == name)
                found = children[i];
            XFree(name);
        }
    }
    XFree(children);
    return found;
}
