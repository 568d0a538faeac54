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
    const QByteArray wav = MakeToneWav(1000, 50);
    const quint32 samples = 48000 * 50 / 1000;  // 2400
    ASSERT_EQ(wav.size(), 44 + 2 * static_cast<int>(samples));
    EXPECT_EQ(wav.left(4), "RIFF");
    EXPECT_EQ(LE(wav, 4, 4), 36 + 2 * samples);
    EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(LE(wav, 16, 4), 16u);
    EXPECT_EQ(LE(wav, 20, 2), 1u);      // PCM
    EXPECT_EQ(LE(wav, 22, 2), 1u);      // mono
    EXPECT_EQ(LE(wav, 24, 4), 48000u);
    EXPECT_EQ(LE(wav, 28, 4), 96000u);
    EXPECT_EQ(LE(wav, 32, 2), 2u);
    EXPECT_EQ(LE(wav, 34, 2), 16u);
    EXPECT_EQ(wav.mid(36, 4), "data");
    EXPECT_EQ(LE(wav, 40, 4), 2 * samples);
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
