#include "desktop/lock_keys.h"

#include <QGuiApplication>

#ifdef LUMESTA_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace lumesta {

#ifdef LUMESTA_HAVE_X11
namespace {

bool IndicatorOn(Display* display, const char* name)
{
    int on = 0;
    const Atom atom = XInternAtom(display, name, True);
    if (atom == 0) return false;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return false;
    return on != 0;
}

}  // namespace

LockKeys QueryLockKeys()
{
    LockKeys keys;
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                              : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return keys;
    keys.known = true;
    keys.caps = IndicatorOn(display, "Caps Lock");
    keys.num = IndicatorOn(display, "Num Lock");
    keys.scroll = IndicatorOn(display, "Scroll Lock");
    return keys;
}

#else

LockKeys QueryLockKeys()
{
    return LockKeys{};
}

#endif

}  // namespace lumesta
