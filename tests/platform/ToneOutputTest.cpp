// The WAV image of a tone: exact header bytes and the samples' shape.
#include "platform/ToneOutput.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

quint32 LE(const QByteArray& b, int at, int size) {
    quint32 v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(b[at + i]);
    return v;
}

qint16 Sample(const QByteArray& wav, int index) { return static_cast<qint16>(LE(wav, 44 + 2 * index, 2)); }

}  // namespace

TEST(ToneOutput, WavHeaderDescribesMono16BitPcm) {
    const QByteArray wav = MakeToneWav(1000, 50); // 48000 x 50 / 1000 = 2400 samples
    ASSERT_EQ(wav.size(), 44 + 2 * 2400);
    // RIFF 36 + 4800, fmt 16: PCM, mono, 48000 Hz, 96000 bytes/s, blocks of 2, 16 bits; data 4800.
    EXPECT_EQ(wav.left(44).toHex(' '), QByteArray::fromHex("52494646 e4120000 57415645 666d7420 10000000 0100 0100"
                                                           "80bb0000 00770100 0200 1000 64617461 c0120000")
                                           .toHex(' '));
}

TEST(ToneOutput, SamplesFollowTheSineWithFadedEnds) {
    const QByteArray wav = MakeToneWav(1000, 50);
    const int samples = 2400;
    EXPECT_EQ(Sample(wav, 0), 0);
    EXPECT_EQ(Sample(wav, samples - 1), 0);
    // Past the 5 ms fade (240 samples): half full scale at the sine's top; 48 samples a period.
    EXPECT_EQ(Sample(wav, 240 + 12), static_cast<qint16>(std::nearbyint(0.5 * 32767.0)));
    EXPECT_EQ(Sample(wav, 240 + 36), static_cast<qint16>(std::nearbyint(-0.5 * 32767.0)));
    EXPECT_EQ(Sample(wav, 240 + 24), 0);
    int peak = 0;
    for (int i = 0; i < samples; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(Sample(wav, i))));
    EXPECT_EQ(peak, 16384);
}

TEST(ToneOutput, OutOfRangeGivesNothingAndLengthIsCapped) {
    EXPECT_TRUE(MakeToneWav(36, 100).isEmpty());
    EXPECT_TRUE(MakeToneWav(20001, 100).isEmpty());
    EXPECT_TRUE(MakeToneWav(440, 0).isEmpty());
    EXPECT_TRUE(MakeToneWav(440, -5).isEmpty());
    EXPECT_EQ(MakeToneWav(440, 60000).size(), 44 + 2 * 48000 * 10);
    EXPECT_FALSE(PlayTone(10, 100));
}
