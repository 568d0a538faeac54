#include "foundation/core/ByteStream.h"

#include <algorithm>

bool TByteReader::Seek(std::size_t position) {
    if (FFailed || position > FSize) {
        FFailed = true;
        return false;
    }
    FPos = position;
    return true;
}

bool TByteReader::Skip(std::size_t n) {
    if (!CanRead(n)) {
        FFailed = true;
        return false;
    }
    FPos += n;
    return true;
}

bool TByteReader::ReadBytes(void* dest, std::size_t n) {
    return Take(static_cast<std::uint8_t*>(dest), n);
}

std::string TByteReader::ReadShortString(std::size_t fieldSize) {
    if (fieldSize == 0) return {};
    if (!CanRead(fieldSize)) {
        FFailed = true;
        return {};
    }
    const std::size_t length = std::min<std::size_t>(FData[FPos], fieldSize - 1);
    std::string text(reinterpret_cast<const char*>(FData + FPos + 1), length);
    FPos += fieldSize;
    return text;
}

std::string TByteReader::ReadZeroTerminated(std::size_t fieldSize, std::size_t maxLength) {
    if (!CanRead(fieldSize)) {
        FFailed = true;
        return {};
    }
    const auto* begin = FData + FPos;
    const auto* end = std::find(begin, begin + fieldSize, std::uint8_t{0});
    const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(end - begin), maxLength);
    std::string text(reinterpret_cast<const char*>(begin), length);
    FPos += fieldSize;
    return text;
}

void TByteWriter::WriteShortString(const std::string& text, std::size_t fieldSize) {
    if (fieldSize == 0) return;
    const std::size_t length = std::min({text.size(), fieldSize - 1, std::size_t{255}});
    WriteU8(static_cast<std::uint8_t>(length));
    WriteBytes(text.data(), length);
    WriteZeros(fieldSize - 1 - length);
}

void TByteWriter::WriteZeroTerminated(const std::string& text, std::size_t fieldSize) {
    if (fieldSize == 0) return;
    const std::size_t length = std::min(text.size(), fieldSize - 1);
    WriteBytes(text.data(), length);
    WriteZeros(fieldSize - length);
}
