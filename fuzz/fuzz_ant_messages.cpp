// The ANT stick's message parser over a stream that arrives in pieces of any size: every byte
// added is handed out in a message, skipped, or still held; a message handed out is the next
// bytes of the stream after the skipped ones, with a good checksum; while it waits, the parser
// holds less than one longest message.
#include "devices/ant/AntStick.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr std::size_t kLongestMessage = 255 + 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t piece = data[0] % 64 + 1;
    ++data;
    --size;
    kvant::TAntParser parser;
    std::size_t added = 0, taken = 0;
    std::uint8_t id = 0;
    std::vector<std::uint8_t> payload;
    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t n = std::min(piece, size - at);
        parser.Add(data + at, n);
        added += n;
        while (parser.Next(id, payload)) {
            const std::size_t start = taken + parser.Skipped();
            const std::size_t length = payload.size() + 4;
            if (start + length > added)
                std::abort();
            const std::uint8_t* m = data + start;
            std::uint8_t sum = 0;
            for (std::size_t i = 0; i + 1 < length; ++i)
                sum ^= m[i];
            if ((m[0] != 0xA4 && m[0] != 0xA5) || m[1] != payload.size() || m[2] != id ||
                !std::equal(payload.begin(), payload.end(), m + 3) || m[length - 1] != sum)
                std::abort();
            taken += length;
        }
        if (taken + parser.Skipped() > added || added - taken - parser.Skipped() >= kLongestMessage)
            std::abort();
    }
    return 0;
}
