#include "devices/TrainingModuleFrames.h"

#include "support/RecordPrinters.h"
#include "support/TrainingModulePeer.h"

#include <gtest/gtest.h>
#include <random>

namespace {

std::string Hex(const std::string& bytes) {
    std::string out;
    char piece[4];
    for (unsigned char c : bytes) {
        std::snprintf(piece, sizeof piece, "%02X ", c);
        out += piece;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

const std::array<std::uint16_t, 13> kWords{12, 2345, 28, 615, 140, 180, 3500, 140, 95, 190, 3, 2, 850};

std::array<std::uint8_t, 60> Forces() {
    std::array<std::uint8_t, 60> f{};
    for (int i = 0; i < 60; ++i)
        f[std::size_t(i)] = std::uint8_t(i < 30 ? 4 * i : 4 * (60 - i));
    return f;
}

struct TScanResult {
    std::vector<TVSScan> Scans;
    std::vector<TVSFrameIndex> Taken;
    std::vector<QString> Log;
};

// Scans until the buffer holds no whole frame any more.
TScanResult ScanAll(std::string& buffer, std::uint8_t accepted) {
    TScanResult r;
    for (int guard = 0; guard < 200; ++guard) {
        TVSFrameIndex index;
        std::string frame;
        const TVSScan scan = CheckForFrame(buffer, accepted, index, frame,
                                           [&](const QString& line) { r.Log.push_back(line); });
        r.Scans.push_back(scan);
        if (scan == TVSScan::Taken)
            r.Taken.push_back(index);
        if (scan == TVSScan::Incomplete)
            break;
    }
    return r;
}

std::string StrokeFrame(std::uint16_t number) {
    std::array<std::uint16_t, 13> w = kWords;
    w[0] = number;
    return vsenc::Stroke(w, Forces());
}

constexpr std::uint8_t kStart = VSFrameBit(vsfStartWorkout) | VSFrameBit(vsfWorkoutCanceled);
constexpr std::uint8_t kWorkout =
    VSFrameBit(vsfStrokeFinished) | VSFrameBit(vsfWorkoutFinished) | VSFrameBit(vsfWorkoutCanceled);

}  // namespace

TEST(TrainingModuleFrames, WireBytes) {
    EXPECT_EQ(Hex(VSCommandFrame(kVSPing)), "FF FF 01 01 01 FE FE");
    EXPECT_EQ(Hex(VSCommandFrame(kVSAccept)), "FF FF 01 02 02 FE FE");
    EXPECT_EQ(Hex(VSCommandFrame(kVSStop)), "FF FF 01 03 03 FE FE");
    // The module's frames as the peer builds them.
    EXPECT_EQ(Hex(vsenc::WorkoutCanceled()), "FF FF 01 85 84 FE FE");
    EXPECT_EQ(Hex(vsenc::StartWorkout(2, 2000, 3, 60, 30)),
              "FF FF 09 82 02 D0 07 03 3C 00 1E 00 7F FE FE");
    EXPECT_EQ(vsenc::Stroke(kWords, Forces()).size(), kVSLongestFrame);
    EXPECT_EQ(VSAcceptedTypesText(kStart), "130 ($82) or 133 ($85)");
}

TEST(TrainingModuleFrames, ScanningTakesDropsAndWaits) {
    const std::string stroke = vsenc::Stroke(kWords, Forces());
    std::string badCrc = stroke;
    badCrc[90] = char(badCrc[90] ^ 0x10);
    struct Case {
        const char* name;
        std::string buffer;
        std::uint8_t accepted;
        std::vector<TVSFrameIndex> taken;
        std::size_t left;  // bytes left in the buffer
        const char* logged;
    } cases[] = {
        {"first part of a split frame stays", stroke.substr(0, 50), kWorkout, {}, 50, nullptr},
        {"two frames in one packet", stroke + vsenc::WorkoutCanceled(), kWorkout,
         {vsfStrokeFinished, vsfWorkoutCanceled}, 0, "CheckForFrame : FrameReceived 133 ($85)"},
        {"short junk stays", "\x01\x02\xFF\x04\x05\x06", kWorkout, {}, 6, nullptr},
        {"junk before a frame", "abc\xFF" "defgh" + vsenc::WorkoutCanceled(), kWorkout,
         {vsfWorkoutCanceled}, 0, nullptr},
        {"bad checksum", badCrc, kWorkout, {}, 6,
         "ValidFrameMember : Invalid value for oFrameVSU_STROKEFINISHED.iCRC; received"},
        {"frame hidden behind a false start", "\xFF" + vsenc::Alive(), VSFrameBit(vsfAlive),
         {vsfAlive}, 0, "No valid frame; received 71 ($47)"},
        {"wrong size is not waited for", std::string("\xFF\xFF\x40\x83\x00\x00\x00", 7) +
         vsenc::WorkoutCanceled(), kWorkout, {vsfWorkoutCanceled}, 0,
         "ValidFrameMember : Invalid value for oFrameVSU_STROKEFINISHED.iSize; received 64 ($40), "
         "expected 87 ($57)"},
        {"stroke during the handshake", stroke + vsenc::StartWorkout(0, 500, 0, 20, 10), kStart,
         {vsfStartWorkout}, 0,
         "CheckForFrame : No valid frame; received 131 ($83), expected 130 ($82) or 133 ($85). "
         "Clearing first 93 bytes from buffer"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TScanResult r = ScanAll(c.buffer, c.accepted);
        EXPECT_EQ(r.Taken, c.taken);
        EXPECT_EQ(c.buffer.size(), c.left);
        if (c.logged) {
            bool found = false;
            for (const QString& line : r.Log)
                found = found || line.contains(QString::fromLatin1(c.logged));
            EXPECT_TRUE(found) << c.logged;
        }
    }
}

TEST(TrainingModuleFrames, StrokeIntoRecords) {
    float energy = 1000;  // an earlier stroke of this connection
    TStgStrokeData s;
    TStgForceCurve c;
    VSDecodeStroke(vsenc::Stroke(kWords, Forces()), energy, s, c);
    EXPECT_FLOAT_EQ(energy, 4500);
    EXPECT_EQ(s, (TStgStrokeData{.Number = 12, .Power = 234.5f, .AvgPower = 4500 / 61.5f, .StrokeRate = 28,
                                 .Time = 61.5f, .Length = 140, .Distance = 180, .Est500mTime = 61.5f / 180 * 500,
                                 .Energy = 3500, .EnergySum = 4.5f, .Pulse = 140, .DriveRatio = 95.0f / 190, .K = 3,
                                 .IntervalNumber = 2, .DriveTime = 0.95f, .DistancePerStroke = 850}));
    EXPECT_EQ(c.Number, 12);
    EXPECT_EQ(c.Present, 1);
    EXPECT_EQ(c.Force[0], 0);
    EXPECT_EQ(c.Force[29], 1160);
    EXPECT_EQ(c.Force[59], 40);
    EXPECT_EQ(c.Force[60], 0);

    // No time or no distance yet: no average power and no 500 m time.
    std::array<std::uint16_t, 13> w = kWords;
    w[3] = 0;
    VSDecodeStroke(vsenc::Stroke(w, Forces()), energy, s, c);
    EXPECT_EQ(s.AvgPower, 0);
    EXPECT_EQ(s.Est500mTime, 0);
    w = kWords;
    w[5] = 0;
    VSDecodeStroke(vsenc::Stroke(w, Forces()), energy, s, c);
    EXPECT_EQ(s.Est500mTime, 0);
    EXPECT_FLOAT_EQ(s.EnergySum, 11.5f);
}

TEST(TrainingModuleFrames, StartWorkoutIntoSettings) {
    struct Case {
        std::uint8_t a;
        std::uint8_t b;
        std::int32_t TStgIni::*limit;
        std::int32_t TStgIni::*work;
        std::int32_t TStgIni::*rest;
    } cases[] = {
        {0, 0, &TStgIni::LimitStrokes, &TStgIni::WorkStrokes, &TStgIni::RestStrokes},
        {1, 1, &TStgIni::LimitEnergy, &TStgIni::WorkEnergy, &TStgIni::RestEnergy},
        {2, 2, &TStgIni::LimitDistance, &TStgIni::WorkDistance, &TStgIni::RestDistance},
        {3, 3, &TStgIni::LimitTime, &TStgIni::WorkTime, &TStgIni::RestTime},
        {4, 3, &TStgIni::LimitIntervals, &TStgIni::WorkTime, &TStgIni::RestTime},
        {5, 4, nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.a));
        const TStgIni ini = VSStartWorkoutIni(vsenc::StartWorkout(c.a, 2000, c.b, 60, 30));
        TStgIni expected;
        expected.Weight = 85;
        expected.Ergometer = 2;
        expected.SessionLimit = c.a;
        expected.IntervalBy = c.b;
        expected.WorkValue = 60;
        expected.RestValue = 30;
        if (c.limit) {
            expected.*c.limit = 2000;
            expected.*c.work = 60;
            expected.*c.rest = 30;
        }
        EXPECT_EQ(ini, expected);
    }
}

TEST(TrainingModuleFrames, WorkoutTotalsInSecondsAndWatts) {
    const TStgWorkout w = VSDecodeWorkout(vsenc::WorkoutFinished(7, 123456, 54321, 12345));
    EXPECT_FLOAT_EQ(w.Distance, 5432.1f);
    EXPECT_FLOAT_EQ(w.Time, 1234.5f);
    EXPECT_FLOAT_EQ(w.Energy, 123.456f);
    EXPECT_FLOAT_EQ(w.AvgPower, 123456 / 1234.5f);
    EXPECT_EQ(VSDecodeWorkout(vsenc::WorkoutFinished(0, 5000, 0, 0)).AvgPower, 0);
}

TEST(TrainingModuleFrames, SmoothingRoundsHalvesToEven) {
    TStgForceCurve curve;
    for (auto [k, v] : {std::pair{0, 10}, {1, 15}, {2, 20}, {3, 21}, {59, 45}})
        curve.Force[std::size_t(k)] = Word(v);
    curve.Force[79] = 9;
    for (int level : {0, 3}) {
        TStgForceCurve same = curve;
        SmoothForceCurve(same, level);
        EXPECT_EQ(same, curve);
    }
    // Level 1: 12.5, 17.5, 20.5, 22.5 against the zero sample 61, 4.5; level 2: 56 / 3 and 41 / 3.
    const auto at = [&curve](int level, std::initializer_list<std::size_t> samples) {
        TStgForceCurve c = curve;
        SmoothForceCurve(c, level);
        std::vector<int> v;
        for (std::size_t k : samples)
            v.push_back(c.Force[k]);
        return v;
    };
    EXPECT_EQ(at(1, {0, 1, 2, 59, 78, 79}), (std::vector<int>{12, 18, 20, 22, 4, 9}));
    EXPECT_EQ(at(2, {0, 1, 2, 3, 79}), (std::vector<int>{10, 15, 19, 14, 9}));
}

TEST(TrainingModuleFrames, EveryFrameIsFoundBetweenJunkAndFalseStarts) {
    std::mt19937 random(25);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 12), which(0, 2);
    std::string stream;
    std::vector<TVSFrameIndex> sent;
    for (int i = 0; i < 300; ++i) {
        for (int n = length(random); n > 0; --n)
            stream += char(byte(random));
        if (i % 5 == 0)
            stream += "\xFF\xFF";  // a false start right before the frame
        switch (which(random)) {
        case 0:
            stream += StrokeFrame(std::uint16_t(i));
            sent.push_back(vsfStrokeFinished);
            break;
        case 1:
            stream += vsenc::WorkoutFinished(std::uint32_t(i), 2, 3, 4);
            sent.push_back(vsfWorkoutFinished);
            break;
        default:
            stream += vsenc::WorkoutCanceled();
            sent.push_back(vsfWorkoutCanceled);
            break;
        }
    }
    // Fed in packets of varying size, as the port hands them over.
    std::string buffer;
    std::vector<TVSFrameIndex> taken;
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t n = std::min<std::size_t>(std::size_t(1 + byte(random) % 40), stream.size() - at);
        buffer.append(stream, at, n);
        at += n;
        const TScanResult r = ScanAll(buffer, kWorkout);
        taken.insert(taken.end(), r.Taken.begin(), r.Taken.end());
        ASSERT_LT(buffer.size(), kVSLongestFrame);
    }
    EXPECT_EQ(taken, sent);
}
