#include <X11/Xlib.h>

// The framework installs a forgiving X error handler only in a real application.
// Windows made inside this test process get the same, instead of Xlib's default,
// which ends the process on a harmless error (such as an atom that only a window
// manager would have made, and there is none under Xvfb).
namespace
{
    int ignoreXError (Display*, XErrorEvent*) { return 0; }

    // Before any test of this binary opens a window.
    const auto previousHandler = XSetErrorHandler (ignoreXError);
}
