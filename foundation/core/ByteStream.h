// Bounds-checked little-endian byte reader and writer, the only way records reach bytes.
//
// TByteReader never reads past its end: a read that does not fit sets the sticky Failed() flag,
// leaves the position where it was and returns zeros (or an empty text). Callers decode a whole
// record and check Failed() once; no exception is thrown.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

class TByteReader {
public:
    TByteReader() = default;
    TByteReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(data ? size : 0) {}
    explicit TByteReader(std::span<const std::uint8_t> bytes) : TByteReader(bytes.data(), bytes.size()) {}

    std::size_t Position() const { return FPos; }
    std::size_t Size() const { return FSize; }
    std::size_t Remaining() const { return FSize - FPos; }
    bool AtEnd() const { return FPos >= FSize; }
    bool Failed() const { return FFailed; }
    // The bytes from the position on, without moving it.
    const std::uint8_t* Current() const { return FData + FPos; }

    // Moves to an absolute position (at most Size()); false and Failed() beyond the end.
    bool Seek(std::size_t position);
    // Moves forward n bytes; false and Failed() when fewer remain.
    bool Skip(std::size_t n);
    // True when n more bytes can be read.
    bool CanRead(std::size_t n) const { return !FFailed && n <= Remaining(); }

    std::uint8_t ReadU8() {
        std::uint8_t b[1];
        return Take(b, 1) ? b[0] : 0;
    }
    std::int8_t ReadI8() { return static_cast<std::int8_t>(ReadU8()); }
    std::uint16_t ReadU16() {
        std::uint8_t b[2];
        return Take(b, 2) ? static_cast<std::uint16_t>(b[0] | (b[1] << 8)) : 0;
    }
    std::int16_t ReadI16() { return static_cast<std::int16_t>(ReadU16()); }
    std::uint32_t ReadU32() {
        std::uint8_t b[4];
        return Take(b, 4) ? Le32(b) : 0;
    }
    std::int32_t ReadI32() { return static_cast<std::int32_t>(ReadU32()); }
    std::uint64_t ReadU64() {
        std::uint8_t b[8];
        return Take(b, 8) ? (static_cast<std::uint64_t>(Le32(b + 4)) << 32) | Le32(b) : 0;
    }
    float ReadFloat() { return std::bit_cast<float>(ReadU32()); }
    double ReadDouble() { return std::bit_cast<double>(ReadU64()); }
    // Copies n bytes; on failure `dest` is zero-filled.
    bool ReadBytes(void* dest, std::size_t n);
    // A short string field of `fieldSize` bytes: a length byte, then fieldSize - 1 characters
    // of which the first `length` are the text (the length is cut to the field). The bytes are
    // kept as they are (Windows-1252).
    std::string ReadShortString(std::size_t fieldSize = 256);
    // A zero-terminated text in a field of `fieldSize` bytes, cut at `maxLength`.
    std::string ReadZeroTerminated(std::size_t fieldSize, std::size_t maxLength);

private:
    const std::uint8_t* FData = nullptr;
    std::size_t FSize = 0;
    std::size_t FPos = 0;
    bool FFailed = false;

    // n == 0 touches neither pointer (dest may be null then).
    bool Take(std::uint8_t* dest, std::size_t n) {
        if (!CanRead(n)) {
            FFailed = true;
            if (n) std::memset(dest, 0, n);
            return false;
        }
        if (n) std::memcpy(dest, FData + FPos, n);
        FPos += n;
        return true;
    }
    static std::uint32_t Le32(const std::uint8_t* b) {
        return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
               (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }
};

// Appends little-endian values to a byte vector of its own.
class TByteWriter {
public:
    TByteWriter() = default;
    explicit TByteWriter(std::size_t reserve) { FData.reserve(reserve); }

    const std::vector<std::uint8_t>& Data() const { return FData; }
    std::vector<std::uint8_t> Take() { return std::move(FData); }
    std::size_t Size() const { return FData.size(); }
    void Reserve(std::size_t n) { FData.reserve(n); }

    void WriteU8(std::uint8_t v) { FData.push_back(v); }
    void WriteI8(std::int8_t v) { WriteU8(static_cast<std::uint8_t>(v)); }
    void WriteU16(std::uint16_t v) {
        const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
        Append(b, 2);
    }
    void WriteI16(std::int16_t v) { WriteU16(static_cast<std::uint16_t>(v)); }
    void WriteU32(std::uint32_t v) {
        const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        Append(b, 4);
    }
    void WriteI32(std::int32_t v) { WriteU32(static_cast<std::uint32_t>(v)); }
    void WriteU64(std::uint64_t v) {
        WriteU32(static_cast<std::uint32_t>(v));
        WriteU32(static_cast<std::uint32_t>(v >> 32));
    }
    void WriteFloat(float v) { WriteU32(std::bit_cast<std::uint32_t>(v)); }
    void WriteDouble(double v) { WriteU64(std::bit_cast<std::uint64_t>(v)); }
    void WriteBytes(const void* data, std::size_t n) { Append(static_cast<const std::uint8_t*>(data), n); }
    void WriteZeros(std::size_t n) { FData.resize(FData.size() + n, 0); }
    // A short string field of `fieldSize` bytes: length byte (the text cut to fieldSize - 1),
    // the characters, zeros for the rest.
    void WriteShortString(const std::string& text, std::size_t fieldSize = 256);
    // A zero-terminated text in a field of `fieldSize` bytes (cut to fieldSize - 1), zero-filled.
    void WriteZeroTerminated(const std::string& text, std::size_t fieldSize);

private:
    std::vector<std::uint8_t> FData;

    void Append(const std::uint8_t* b, std::size_t n) {
        if (n == 0) return;
        const std::size_t at = FData.size();
        FData.resize(at + n);
        std::memcpy(FData.data() + at, b, n);
    }
};
