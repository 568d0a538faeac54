// Full read of a .stg file from memory. A file that reads is written again and read back:
// writing what was read must be stable.
#include "foundation/files/TrainingFiles.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TTraining training;
    if (!DecodeStgFile(data, size, training)) return 0;
    const std::vector<std::uint8_t> once = EncodeStgFile(training);
    TTraining again;
    if (!DecodeStgFile(once.data(), once.size(), again)) std::abort();
    if (EncodeStgFile(again) != once) std::abort();
    return 0;
}
