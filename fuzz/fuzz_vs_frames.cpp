// The training module's frame scanner over a stream that arrives in packets of any size, with
// any accepted-frame set: every scan either waits for more bytes or consumes some, the scanner
// never holds more than one longest frame while it waits, and a frame it takes is whole, valid
// and accepted. The decoders then read every frame taken.
#include "devices/TrainingModuleFrames.h"

#include <cstdlib>

namespace {

unsigned At(const std::string& s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

void CheckTaken(const std::string& frame, std::uint8_t accepted, TVSFrameIndex index) {
    const TVSFrameKind* kind = VSFrameKindOf(std::uint8_t(kVSFrameTypeBase + index));
    if (index == vsfNone || !kind || !(accepted & VSFrameBit(index)))
        std::abort();
    const std::size_t n = kind->Size;
    if (frame.size() != n + kVSFrameOverhead || At(frame, 0) != 0xFF || At(frame, 1) != 0xFF ||
        At(frame, 2) != n || At(frame, 3) != kind->Type ||
        At(frame, n + 3) != FrameChecksum(std::string_view(frame).substr(2, n + 1)) ||
        At(frame, n + 4) != 0xFE || At(frame, n + 5) != 0xFE)
        std::abort();
}

void Decode(const std::string& frame, TVSFrameIndex index, float& energySum) {
    TStgStrokeData stroke;
    TStgForceCurve curve;
    switch (index) {
    case vsfStartWorkout: (void)VSStartWorkoutIni(frame); break;
    case vsfStrokeFinished:
        VSDecodeStroke(frame, energySum, stroke, curve);
        SmoothForceCurve(curve, 1 + (energySum > 0));
        break;
    case vsfWorkoutFinished: (void)VSDecodeWorkout(frame); break;
    default: break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t accepted = data[0];
    const std::size_t packet = data[1] % 40 + 1;
    data += 2;
    size -= 2;
    std::string buffer, frame;
    float energySum = 0;
    const TVSLog log = [](const QString& line) {
        if (line.isEmpty())
            std::abort();
    };
    for (std::size_t at = 0; at < size; at += packet) {
        buffer.append(reinterpret_cast<const char*>(data + at), std::min(packet, size - at));
        for (;;) {
            const std::size_t before = buffer.size();
            TVSFrameIndex index = vsfAlive;
            const TVSScan scan = CheckForFrame(buffer, accepted, index, frame, log);
            if (scan == TVSScan::Incomplete) {
                if (index != vsfNone || buffer.size() > before || buffer.size() >= kVSLongestFrame)
                    std::abort();
                break;
            }
            if (buffer.size() >= before)
                std::abort();  // a scan that consumes nothing would stall the stream
            if (scan == TVSScan::Taken) {
                CheckTaken(frame, accepted, index);
                Decode(frame, index, energySum);
            } else if (index != vsfNone) {
                std::abort();
            }
        }
    }
    return 0;
}
