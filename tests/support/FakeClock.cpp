#include "FakeClock.h"

#include "PtyPeer.h"

#include <algorithm>

void TFakeClock::Wait(unsigned ms) {
    ++Waits;
    if (OnWait)
        OnWait(ms);
    // Real time only so that bytes written to a pty can arrive meanwhile.
    WaitUntil([] { return false; }, int(std::min(ms, 5u)));
}
