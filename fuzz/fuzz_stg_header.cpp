// Header read of a .stg file (old header block and chunked files) from memory.
#include "foundation/files/TrainingFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TStgHeader header;
    std::int32_t version = 0;
    DecodeStgHeader(data, size, header, version);
    return 0;
}
