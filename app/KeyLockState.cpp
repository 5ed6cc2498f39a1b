#include "KeyLockState.h"

#include <QGuiApplication>

#ifdef PEMBLAR_HAVE_X11
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

#ifdef PEMBLAR_HAVE_X11
namespace {
bool NamedIndicator(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None)
        return false;
    Bool on = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
        return false;
    return on;
}
}  // namespace
#endif

CKeyLocks QueryKeyLocks() {
    CKeyLocks locks;
#ifdef PEMBLAR_HAVE_X11
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return locks;
    locks.known = true;
    locks.caps = NamedIndicator(display, "Caps Lock");
    locks.num = NamedIndicator(display, "Num Lock");
    locks.scroll = NamedIndicator(display, "Scroll Lock");
#endif
    return locks;
}
