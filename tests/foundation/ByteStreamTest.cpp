#include "foundation/core/ByteStream.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<std::uint8_t> V(std::initializer_list<int> bytes) {
    std::vector<std::uint8_t> v;
    for (int b : bytes)
        v.push_back(static_cast<std::uint8_t>(b));
    return v;
}

} // namespace

TEST(ByteReader, ReadsLittleEndianValuesInOrder) {
    const auto bytes = V({0xFE, 0x34, 0x12, 0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0xC0, 0x3F,
                          0, 0, 0, 0, 0, 0, 0xF8, 0xBF});
    TByteReader r(bytes);
    EXPECT_EQ(r.ReadI8(), -2);
    EXPECT_EQ(r.ReadU16(), 0x1234);
    EXPECT_EQ(r.ReadI16(), -1);
    EXPECT_EQ(r.ReadU32(), 0x12345678u);
    EXPECT_EQ(r.ReadFloat(), 1.5f);
    EXPECT_EQ(r.ReadDouble(), -1.5);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_FALSE(r.Failed());
}

TEST(ByteReader, ReadPastEndFailsStickyWithoutMovingAndGivesZeros) {
    const auto bytes = V({1, 2, 3});
    TByteReader r(bytes);
    EXPECT_EQ(r.ReadU16(), 0x0201);
    EXPECT_EQ(r.ReadU32(), 0u);
    EXPECT_TRUE(r.Failed());
    EXPECT_EQ(r.Position(), 2u);
    // Once failed, even a read that would fit gives 0.
    EXPECT_EQ(r.ReadU8(), 0);
    std::uint8_t out[2] = {9, 9};
    EXPECT_FALSE(r.ReadBytes(out, 2));
    EXPECT_EQ(out[0], 0);
    EXPECT_FALSE(r.Skip(0));
    TByteReader s(bytes);
    EXPECT_FALSE(s.Seek(4));
    EXPECT_TRUE(TByteReader(bytes).Seek(3));
    EXPECT_TRUE(TByteReader(nullptr, 100).AtEnd());
}

TEST(ByteReader, ShortStringsKeepBytesAndCutTheLengthToTheField) {
    std::vector<std::uint8_t> field(256, 'x');
    field[0] = 3;
    field[1] = 'A';
    field[2] = 0xE9; // Windows-1252 e acute, kept as it is
    field[3] = 0;
    TByteReader r(field);
    EXPECT_EQ(r.ReadShortString(), std::string("A\xE9\0", 3));
    EXPECT_EQ(r.Position(), 256u);

    auto small = V({9, 'a', 'b', 'c'});
    TByteReader s(small);
    EXPECT_EQ(s.ReadShortString(4), "abc");
    TByteReader t(small);
    EXPECT_EQ(t.ReadShortString(5), "");
    EXPECT_TRUE(t.Failed());
}

TEST(ByteReader, ZeroTerminatedTextStopsAtZeroOrField) {
    auto bytes = V({'a', 'b', 0, 'c', 'd', 'e', 'f', 'g'});
    TByteReader r(bytes);
    EXPECT_EQ(r.ReadZeroTerminated(4, 255), "ab");
    EXPECT_EQ(r.ReadZeroTerminated(4, 3), "def"); // no zero: the whole field, cut at 3
    EXPECT_TRUE(r.AtEnd());
}

TEST(ByteWriter, WritesLittleEndianAndPadsShortStrings) {
    TByteWriter w;
    w.WriteU16(0x1234);
    w.WriteI32(-2);
    w.WriteFloat(1.5f);
    w.WriteDouble(-1.5);
    EXPECT_EQ(w.Data(), V({0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0xC0, 0x3F, 0, 0, 0, 0, 0, 0, 0xF8, 0xBF}));

    TByteWriter s;
    s.WriteShortString("ab", 5);
    s.WriteShortString(std::string(300, 'z'));
    s.WriteZeroTerminated("abcdef", 4);
    ASSERT_EQ(s.Size(), 5u + 256u + 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(s.Data().begin(), s.Data().begin() + 5), V({2, 'a', 'b', 0, 0}));
    EXPECT_EQ(s.Data()[5], 255);
    EXPECT_EQ(s.Data()[5 + 255], 'z');
    EXPECT_EQ(std::vector<std::uint8_t>(s.Data().end() - 4, s.Data().end()), V({'a', 'b', 'c', 0}));
}
