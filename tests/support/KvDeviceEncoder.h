// The device side of the flywheel electronics, for tests: builds the bytes a sensor sends for a
// pulse interval and a heart period in each sample protocol, and the slider's text lines.
// Written from the wire layout, independently of the decoder under test.
#pragma once

#include "foundation/core/Types.h"

#include <cstdint>
#include <string>

namespace kvenc {

inline constexpr int TicksPerSecond = 614000;
inline constexpr int NoPulseCode = 32767;

// One four-byte sample: code 0..32767, heart period 0..2047, for kvpDOS, kvpKvw or kvpKV3W.
// kvpDOS leaves both check bits clear.
std::string Sample(TKeloProtocol protocol, int code, int period);
// A sample for an interval in ticks.
std::string SampleTicks(TKeloProtocol protocol, int ticks, int period = 600);

// "!S,nnnn" (value as four digits) and other slider lines, with CR LF.
std::string SliderLine(const std::string& text);
std::string SliderStroke(int value);

}  // namespace kvenc
