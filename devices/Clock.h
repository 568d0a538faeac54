// The monotonic clock of the device interfaces: time-outs, the stroke engine's pauses and demo
// playback read it, and every wait that keeps events flowing goes through it, so tests can
// replace time as a whole.
#pragma once

#include "foundation/core/AppUtils.h"

#include <chrono>
#include <cstdint>

class TClock {
public:
    virtual ~TClock() = default;
    // Milliseconds since an arbitrary start; never goes back.
    virtual std::int64_t NowMs() const = 0;
    // Waits about ms milliseconds while the event loop keeps running.
    virtual void Wait(unsigned ms) = 0;
};

class TSteadyClock : public TClock {
public:
    std::int64_t NowMs() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void Wait(unsigned ms) override { Delay(ms); }
};

// The clock every interface uses until it is given another one.
inline TClock& DefaultClock() {
    static TSteadyClock clock;
    return clock;
}
