// ZtIV user, stroke and session files from memory, each input tried as all three kinds. What
// reads keeps the record's invariants.
#include "foundation/files/TrainingFiles.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (TZtFileKind kind : {ztkUser, ztkStroke, ztkSession}) {
        TTraining training;
        SetStrokeCount(training, 0);
        if (!DecodeZtFile(data, size, kind, training)) continue;
        if (training.StrokeData.empty() || training.StrokeData.size() != training.ForceCurves.size())
            std::abort();
        if (training.Header.CurrentStroke < 0 ||
            static_cast<std::size_t>(training.Header.CurrentStroke) >= training.StrokeData.size())
            std::abort();
        for (std::size_t i = 0; i < training.Intervals.size(); ++i)
            if (training.Intervals[i].Number != i + 1) std::abort();
    }
    return 0;
}
