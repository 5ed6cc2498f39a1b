#pragma once
// The keyboard's lock states for the CAP, NUM and SCRL indicators of the status bar.

struct CKeyLocks {
    bool known = false;  // false where the window system does not tell (then all are shown off)
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

CKeyLocks QueryKeyLocks();
