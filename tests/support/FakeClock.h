// A clock the test moves by hand. Waits do not pass its time; they only let events run for a
// few real milliseconds, and give the test a turn (OnWait) to act as the world outside.
#pragma once

#include "devices/Clock.h"

#include <cstdint>
#include <functional>

class TFakeClock : public TClock {
public:
    std::int64_t NowMs() const override { return FNow; }
    void Wait(unsigned ms) override;
    void Advance(std::int64_t ms) { FNow += ms; }

    std::function<void(unsigned ms)> OnWait;
    int Waits = 0;

private:
    std::int64_t FNow = 1000000;
};
