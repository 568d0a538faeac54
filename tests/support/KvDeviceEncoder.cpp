#include "KvDeviceEncoder.h"

#include <cstdio>

namespace kvenc {

namespace {
std::uint8_t Reverse(std::uint8_t b) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (b & (1u << i))
            r = std::uint8_t(r | (0x80u >> i));
    return r;
}
}  // namespace

std::string Sample(TKeloProtocol protocol, int code, int period) {
    // The wire bytes are the bit mirrors of these; bit 7 of each mirror is the frame bit
    // (0 in the first byte, 1 in the others).
    const int v = code & 0x7FFF;
    const auto bit = [v](int n) { return (v >> n) & 1; };
    int check6 = 0;  // wire bit 6 of byte 1, mirror bit 1
    int check5 = 0;  // wire bit 5 of byte 1, mirror bit 2
    // Wire bits 7, 6, 5, 4 of byte 3 are code bits 0, 1, 2, 3.
    if (protocol == kvpKvw) {
        check6 = bit(0) ^ bit(2);
        check5 = bit(3) ^ bit(1);
    } else if (protocol == kvpKV3W) {
        check6 = bit(0) ^ bit(1);
        check5 = 1 - (bit(3) ^ bit(2));
    }
    const std::uint8_t r0 = std::uint8_t(~(period >> 4) & 0x7F);
    const std::uint8_t r1 = std::uint8_t(0x80 | ((~period & 0x0F) << 3) | (check5 << 2) |
                                         (check6 << 1) | ((v >> 14) & 1));
    const std::uint8_t r2 = std::uint8_t(0x80 | ((v >> 7) & 0x7F));
    const std::uint8_t r3 = std::uint8_t(0x80 | (v & 0x7F));
    return {char(Reverse(r0)), char(Reverse(r1)), char(Reverse(r2)), char(Reverse(r3))};
}

std::string SampleTicks(TKeloProtocol protocol, int ticks, int period) {
    return Sample(protocol, NoPulseCode - ticks, period);
}

std::string SliderLine(const std::string& text) {
    return text + "\r\n";
}

std::string SliderStroke(int value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", value);
    return SliderLine(std::string("!S,") + digits);
}

}  // namespace kvenc
