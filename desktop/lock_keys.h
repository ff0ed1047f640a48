#pragma once
// The state of the Caps Lock, Num Lock and Scroll Lock keys for the status bar's indicators.

namespace lumesta {

struct LockKeys {
    bool known = false;  // false where the windowing system cannot tell
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

LockKeys QueryLockKeys();

}  // namespace lumesta
