// Stroke (.str) and user (.ini) files from memory; the size picks the format. A file that reads
// is written again: what is written must read back and write the same bytes, except for a
// force zero after a sample above the saturation limit, which the reader takes as saturated.
#include "foundation/files/TrainingFiles.h"

#include <cstdlib>

namespace {

bool SameExceptSaturation(const std::vector<std::uint8_t>& once, const std::vector<std::uint8_t>& again,
                          std::size_t forceBegin, std::size_t forceEnd) {
    if (once.size() != again.size()) return false;
    for (std::size_t i = 0; i < once.size(); ++i) {
        if (once[i] == again[i]) continue;
        const bool saturated =
            i > forceBegin && i < forceEnd && once[i] == 0 && once[i - 1] * kStrForceStep > 750.0;
        if (!saturated) return false;
    }
    return true;
}

template <class Decode, class Encode>
void CheckStable(const std::uint8_t* data, std::size_t size, Decode decode, Encode encode,
                 std::size_t forceBegin, std::size_t forceEnd) {
    TTraining training;
    if (!decode(data, size, training)) return;
    const std::vector<std::uint8_t> once = encode(training);
    TTraining again;
    if (!decode(once.data(), once.size(), again)) std::abort();
    if (!SameExceptSaturation(once, encode(again), forceBegin, forceEnd)) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckStable(data, size, DecodeStrFile, EncodeStrFile, kStrStrokeRecordSize,
                kStrStrokeRecordSize + kStrForceRecordSize);
    CheckStable(data, size, DecodeUserFile, EncodeUserFile, 0, 0);
    return 0;
}
