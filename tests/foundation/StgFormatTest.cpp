#include "support/ByteBuilder.h"
#include "support/FileHelpers.h"
#include "foundation/core/AppUtils.h"
#include "foundation/files/FileIo.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace {

bool Decode(const std::vector<std::uint8_t>& bytes, TTraining& t) { return DecodeStgFile(bytes.data(), bytes.size(), t); }

std::int32_t I32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return static_cast<std::int32_t>(v);
}
int U16At(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

TTraining FullTraining(int strokes, int raws) {
    TTraining t;
    InitTrainingHeader(t.Header);
    InitUserSettings(t.Ini);
    t.Header.Title = "Full \x80";
    t.Header.CurrentStroke = strokes;
    SetStrokeCount(t, strokes);
    for (std::size_t i = 1; i <= std::size_t(strokes); ++i) {
        t.StrokeData[i] = {.Number = Word(i), .Power = 100.0f + float(i), .Time = 2.5f * float(i),
                           .DistancePerStroke = 0.125f * float(i)};
        t.ForceCurves[i].Present = 1;
        for (std::size_t k = 0; k < 30; ++k)
            t.ForceCurves[i].Force[k] = Word(i + k * 10);
    }
    SetIntervalCount(t, 2);
    t.Intervals[1].AvgPower = 321;
    t.Intervals[1].Stroke.Number = 12;
    t.RawData.resize(std::size_t(raws) + 1);
    for (int i = 1; i <= raws; ++i)
        t.RawData[std::size_t(i)] = {Word(i * 7), std::uint8_t(i)};
    t.Workout = {1000.0f, 240.0f, 60.0f, 250.0f};
    return t;
}

// What a read gives back of a written training (element 0 is recomputed, CurveMode not kept).
void ExpectSameStored(const TTraining& read, const TTraining& written) {
    TStgHeader h = written.Header;
    h.CurveMode = 0;
    TStgHeader r = read.Header;
    r.FileName = h.FileName;
    EXPECT_EQ(r, h);
    EXPECT_EQ(read.Ini, written.Ini);
    ASSERT_EQ(read.StrokeData.size(), written.StrokeData.size());
    for (std::size_t i = 1; i < read.StrokeData.size(); ++i) {
        EXPECT_EQ(read.StrokeData[i], written.StrokeData[i]) << i;
        EXPECT_EQ(read.ForceCurves[i], written.ForceCurves[i]) << i;
    }
    EXPECT_EQ(read.Intervals, written.Intervals);
    EXPECT_EQ(read.RawData.size(), std::max<std::size_t>(written.RawData.size(), 1));
    for (std::size_t i = 1; i < written.RawData.size(); ++i)
        EXPECT_EQ(read.RawData[i], written.RawData[i]);
    EXPECT_EQ(read.Workout, written.Workout);
}

} // namespace

TEST(StgWriter, ChunksSitAtTheirOffsetsWithTheirCounts) {
    TTraining t = FullTraining(2, 3);
    t.Header.CurveMode = 2;
    t.StrokeData[2].Number = 900; // an imported number
    const auto b = EncodeStgFile(t);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "MIL ");
    EXPECT_EQ(I32At(b, 4), StgWriterVersion());
    EXPECT_NE(StgWriterVersion(), 0);

    std::size_t at = 8;
    struct Expect { int Type, Size, Count; };
    for (const Expect e : {Expect{1, 2380, 1}, Expect{2, 104, 1}, Expect{3, 84, 2}, Expect{4, 163, 2},
                           Expect{5, 259, 2}, Expect{6, 16, 1}, Expect{7, 3, 3}}) {
        ASSERT_LT(at + 7, b.size());
        EXPECT_EQ(b[at], e.Type);
        EXPECT_EQ(U16At(b, at + 1), e.Size);
        EXPECT_EQ(I32At(b, at + 3), e.Count);
        if (e.Type == 1) {
            EXPECT_EQ(b[at + 7 + 2100], 0) << "CurveMode is written as 0";
        }
        if (e.Type == 3) {
            EXPECT_EQ(U16At(b, at + 7), 1);
            EXPECT_EQ(U16At(b, at + 7 + 84), 2) << "the number written is the index";
        }
        if (e.Type == 7) {
            EXPECT_EQ(U16At(b, at + 7 + 3), 14);
        }
        at += 7 + static_cast<std::size_t>(e.Size * e.Count);
    }
    EXPECT_EQ(at, b.size());
    const std::size_t headerAt = 8 + 7;
    EXPECT_EQ(b[headerAt + 270], t.Header.Title.size());
    EXPECT_EQ(b[headerAt + 271 + 5], 0x80);
}

TEST(StgWriter, EmptyTrainingWritesEmptyArrayChunks) {
    TTraining t;
    SetStrokeCount(t, 0);
    const auto b = EncodeStgFile(t);
    const std::size_t strokes = 8 + 7 + 2380 + 7 + 104;
    EXPECT_EQ((std::vector<int>{b[strokes], I32At(b, strokes + 3), b[strokes + 7], I32At(b, strokes + 10)}),
              (std::vector<int>{3, 0, 4, 0}));
    TTraining back;
    ASSERT_TRUE(Decode(b, back));
    EXPECT_TRUE(back.StrokeData.size() == 1 && back.ForceCurves.size() == 1 && back.Intervals.empty());
}

TEST(StgReader, SampleFileDecodesFieldByField) {
    TTraining t;
    ASSERT_TRUE(Decode(BuildSampleStgFile().Bytes(), t));
    EXPECT_EQ(t.Magic, TrainingMagic);
    EXPECT_EQ(t.Version, 0x01000000);
    EXPECT_EQ((std::vector<std::string>{t.Header.FileName, t.Header.Name}),
              (std::vector<std::string>{"C:\\Rowing\\old.stg", "J\xF6rg"}));
    EXPECT_EQ(t.Header.Date, 45001.25);
    EXPECT_EQ(t.Header.Guid, (TGUID{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}}));
    EXPECT_EQ((std::vector<int>{t.Header.CurveMode, t.Header.CurrentStroke, t.Ini.Weight, t.Ini.Sprocket}),
              (std::vector<int>{1, 2, 80, 1}));
    ASSERT_EQ(t.StrokeData.size(), 4u);
    ASSERT_EQ(t.Intervals.size(), 2u);
    ASSERT_EQ(t.RawData.size(), 6u);
    EXPECT_EQ((std::vector<float>{t.StrokeData[3].Time, t.StrokeData[2].Power, t.StrokeData[1].DistancePerStroke,
                                  t.Intervals[0].Stroke.Time, t.Workout.AvgPower}),
              (std::vector<float>{7.5f, 202, 987.5f, 7.5f, 240}));
    EXPECT_EQ((std::vector<int>{t.ForceCurves[2].Force[5], t.ForceCurves[3].Present, t.Intervals[0].Curve.Force[10],
                                t.Intervals[1].Distance}),
              (std::vector<int>{300, 0, 550, 250}));
    EXPECT_EQ(t.RawData[5], (TStgRawData{5000, 125}));
}

TEST(StgReader, AFileCutAtARecordEndIsReadACutRecordFails) {
    const TStgFileBuilder file = BuildSampleStgFile();
    const auto& bytes = file.Bytes();
    const auto& ends = file.RecordEnds();
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        TTraining t;
        TStgHeader h;
        std::int32_t version = 0;
        const bool atRecordEnd = std::find(ends.begin(), ends.end(), n) != ends.end();
        EXPECT_EQ(DecodeStgFile(bytes.data(), n, t), atRecordEnd) << "length " << n;
        EXPECT_EQ(DecodeStgHeader(bytes.data(), n, h, version), atRecordEnd) << "length " << n;
        if (n == bytes.size()) {
            EXPECT_EQ(version, 0x01000000);
            EXPECT_EQ(h.Title, "Morning row");
            EXPECT_EQ(h.CurveMode, 1);
        }
    }
    // Cut after the second stroke: two strokes, sized by what the file holds, the curves follow.
    const std::size_t afterTwoStrokes = file.Boundaries()[2] + 7 + 2 * kStgStrokeDataSize;
    ASSERT_NE(std::find(ends.begin(), ends.end(), afterTwoStrokes), ends.end());
    TTraining t;
    ASSERT_TRUE(DecodeStgFile(bytes.data(), afterTwoStrokes, t));
    ASSERT_EQ(t.StrokeData.size(), 3u);
    ASSERT_EQ(t.ForceCurves.size(), 3u);
    EXPECT_EQ(t.StrokeData[2].Time, 5.0f);
    EXPECT_EQ(t.StrokeData[2].Power, 202.0f);
    EXPECT_EQ(t.Header.Name, "J\xF6rg");
    // Cut after the third raw sample: the last chunk holds three.
    const std::size_t afterThreeRaws = file.Boundaries()[6] + 7 + 3 * kStgRawDataSize;
    ASSERT_TRUE(DecodeStgFile(bytes.data(), afterThreeRaws, t));
    ASSERT_EQ(t.RawData.size(), 4u);
    EXPECT_EQ(t.RawData[3].Interval, 3000);
    EXPECT_EQ(t.Intervals.size(), 2u);
}

// A file cut inside a record fails; a cut stroke is also said by a 2500 Hz tone of 100 ms, and
// only when a file is read (memory decodes, e.g. of the fuzzer, stay silent).
TEST(StgFile, AStrokeCutShortSoundsTheToneAndFails) {
    using TTones = std::vector<std::pair<int, int>>;
    TTones tones;
    SetSoundHook([&](int hz, int ms) { tones.emplace_back(hz, ms); });
    QTemporaryDir dir;
    const TStgFileBuilder file = BuildSampleStgFile();
    const auto& b = file.Boundaries();
    struct Case { const char* Name; std::size_t Length; bool Ok; bool Tone; };
    for (const Case c : {Case{"in the second stroke", b[2] + 7 + kStgStrokeDataSize + 40, false, true},
                         Case{"in the first stroke", b[2] + 7 + 1, false, true},
                         Case{"after the second stroke", b[2] + 7 + 2 * kStgStrokeDataSize, true, false},
                         Case{"in a curve", b[3] + 7 + 100, false, false},
                         Case{"in the stroke chunk's head", b[2] + 3, false, false},
                         Case{"in a raw sample", b[6] + 7 + 4, false, false}}) {
        tones.clear();
        const std::vector<std::uint8_t> cut(file.Bytes().begin(), file.Bytes().begin() + std::ptrdiff_t(c.Length));
        const QString name = dir.filePath(QString::fromLatin1(c.Name) + QStringLiteral(".stg"));
        ASSERT_TRUE(WriteAllBytes(name, cut));
        TTraining t;
        EXPECT_EQ(ReadStgFile(name, t), c.Ok) << c.Name;
        EXPECT_EQ(tones, (c.Tone ? TTones{{2500, 100}} : TTones{})) << c.Name;
        tones.clear();
        EXPECT_EQ(DecodeStgFile(cut.data(), cut.size(), t), c.Ok) << c.Name;
        EXPECT_TRUE(tones.empty()) << c.Name;
    }
    SetSoundHook(nullptr);
}

TEST(StgReader, HostileCountsAndSizes) {
    struct Case { const char* Name; std::uint8_t Type; std::uint16_t Size; std::int32_t Count; bool Ok; };
    for (const Case c : {Case{"negative count", 3, 84, -1, false},
                         Case{"count beyond the file, cut at a record end", 3, 84, 2, true},
                         Case{"count beyond the file, cut in a record", 3, 80, 2, false},
                         Case{"huge raw count, cut at a record end", 7, 3, std::numeric_limits<std::int32_t>::max(), true},
                         Case{"huge raw count, cut in a record", 7, 5, std::numeric_limits<std::int32_t>::max(), false},
                         Case{"size 0 with a huge count", 3, 0, std::numeric_limits<std::int32_t>::max(), true},
                         Case{"size 0 raw", 7, 0, std::numeric_limits<std::int32_t>::max(), true},
                         Case{"chunk type 0", 0, 0, 0, false},
                         Case{"unknown type 9 beyond the file", 9, 65535, 100, false},
                         // Records too short to hold their number hold nothing.
                         Case{"one-byte strokes", 3, 1, 84, true},
                         Case{"one-byte curves", 4, 1, 84, true},
                         Case{"one-byte intervals", 5, 1, 84, true},
                         Case{"one-byte raw samples", 7, 1, 84, true}}) {
        TStgFileBuilder f;
        if (c.Size == 0)
            f.Chunk(c.Type, c.Size, c.Count);
        else
            f.Chunk(c.Type, c.Size, c.Count, {std::vector<std::uint8_t>(84, 0)});
        TTraining t;
        EXPECT_EQ(Decode(f.Bytes(), t), c.Ok) << c.Name;
        // Never sized beyond what the 84 bytes can hold.
        EXPECT_LE(t.StrokeData.size(), 2u) << c.Name;
        EXPECT_LE(t.Intervals.size(), 1u) << c.Name;
        EXPECT_LE(t.RawData.size(), 84u / 3 + 1) << c.Name;
    }
    // More strokes than a Word can number are refused.
    TStgFileBuilder many;
    many.Chunk(3, 1, 70000, {std::vector<std::uint8_t>(70000, 0)});
    TTraining t;
    EXPECT_FALSE(Decode(many.Bytes(), t));
}

TEST(StgReader, WrongStartFails) {
    TTraining t;
    EXPECT_FALSE(Decode(TStgFileBuilder(0).Bytes(), t)) << "version 0";
    EXPECT_FALSE(Decode(TStgFileBuilder(0x01000000, "MIL!").Bytes(), t));
    EXPECT_FALSE(Decode({'M', 'I', 'L', ' ', 1, 0}, t));
    EXPECT_TRUE(Decode(TStgFileBuilder(-1).Bytes(), t)) << "compared as unsigned";
    ASSERT_TRUE(Decode(TStgFileBuilder().Bytes(), t));
    EXPECT_EQ(t.StrokeData.size(), 1u);
}

TEST(StgReader, UnknownChunksAreSkippedAndSingleRecordChunksSkipExtras) {
    TStgFileBuilder f;
    f.Chunk(9, 5, 2, {std::vector<std::uint8_t>(10, 0xEE)});
    f.Chunk(6, 16, 3,
            {WorkoutBuilder().F32("Time", 1.0f).Bytes(), WorkoutBuilder().F32("Time", 2.0f).Bytes(),
             WorkoutBuilder().F32("Time", 3.0f).Bytes()});
    f.Chunk(2, 104, 2, {IniBytes({70}), IniBytes({90})});
    f.Chunk(8, 1, 0);
    f.Chunk(1, 2380, 0); // no record: the header stays as it was
    f.Chunk(3, 84, 1, {StrokeBuilder().Int("Number", 1).F32("Time", 4.0f).Bytes()});
    TTraining t;
    ASSERT_TRUE(Decode(f.Bytes(), t));
    EXPECT_EQ(t.Workout.Time, 1.0f);
    EXPECT_EQ(t.Ini.Weight, 70);
    ASSERT_EQ(t.StrokeData.size(), 2u);
    EXPECT_EQ(t.StrokeData[1].Time, 4.0f);
}

TEST(StgReader, StrokesLandAtTheirNumbers) {
    TStgFileBuilder f;
    f.Chunk(3, 84, 4,
            {StrokeBuilder().Int("Number", 3).F32("Time", 3).Bytes(), StrokeBuilder().Int("Number", 0).F32("Time", 9).Bytes(),
             StrokeBuilder().Int("Number", 1).F32("Time", 1).Bytes(), StrokeBuilder().Int("Number", 5).F32("Time", 9).Bytes()});
    TTraining t;
    ASSERT_TRUE(Decode(f.Bytes(), t));
    ASSERT_EQ(t.StrokeData.size(), 5u);
    EXPECT_EQ((std::vector<float>{t.StrokeData[1].Time, t.StrokeData[2].Time, t.StrokeData[3].Time, t.StrokeData[4].Time}),
              (std::vector<float>{1, 0, 3, 0}));
    EXPECT_EQ(t.StrokeData[2].Number, 2);
}

TEST(StgReader, CurveChunkNeverShrinksTheStrokes) {
    TStgFileBuilder f;
    f.Chunk(3, 84, 3,
            {StrokeBuilder().Int("Number", 1).F32("Time", 1).Bytes(), StrokeBuilder().Int("Number", 2).F32("Time", 2).Bytes(),
             StrokeBuilder().Int("Number", 3).F32("Time", 3).Bytes()});
    f.Chunk(4, 163, 1, {CurveBuilder().Int("Number", 1).Int("Present", 1).Bytes()});
    TTraining t;
    ASSERT_TRUE(Decode(f.Bytes(), t));
    ASSERT_EQ(t.StrokeData.size(), 4u);
    EXPECT_EQ(t.ForceCurves.size(), 4u);
    EXPECT_EQ(t.StrokeData[3].Time, 3.0f);
    EXPECT_EQ(t.ForceCurves[1].Present, 1);

    TStgFileBuilder grow;
    grow.Chunk(4, 163, 2, {CurveBuilder().Int("Present", 1).Bytes(), CurveBuilder().Int("Present", 1).Bytes()});
    TTraining g;
    ASSERT_TRUE(Decode(grow.Bytes(), g));
    EXPECT_EQ(g.StrokeData.size(), 3u);
    EXPECT_EQ(g.StrokeData[2].Number, 2);
}

TEST(StgReader, ShorterAndLongerRecordsAreFittedToTheRecord) {
    std::vector<std::uint8_t> longer = StrokeBuilder().Int("Number", 1).F32("DistancePerStroke", 5.0f).Bytes();
    longer.resize(90, 0xFF);
    std::vector<std::uint8_t> shorter = StrokeBuilder().Int("Number", 1).F32("DriveTime", 2.0f).F32("DistancePerStroke", 5.0f).Bytes();
    shorter.resize(80);
    TStgFileBuilder f;
    f.Chunk(3, 90, 1, {longer});
    TTraining t;
    ASSERT_TRUE(Decode(f.Bytes(), t));
    EXPECT_EQ(t.StrokeData[1].DistancePerStroke, 5.0f);

    TStgFileBuilder g;
    g.Chunk(3, 80, 1, {shorter}).Chunk(7, 2, 1, {{0x34, 0x12}}).Chunk(1, 3, 1, {{2, 'a', 'b'}});
    ASSERT_TRUE(Decode(g.Bytes(), t));
    EXPECT_EQ(t.StrokeData[1].DriveTime, 2.0f);
    EXPECT_EQ(t.StrokeData[1].DistancePerStroke, 0.0f);
    EXPECT_EQ(t.RawData[1], (TStgRawData{0x1234, 0}));
    EXPECT_EQ(t.Header.FileName, "ab");
}

TEST(StgReader, StoredValuesAreMadeSafe) {
    TStgFileBuilder f;
    f.Chunk(1, 2380, 1,
            {HeaderBuilder().Int("CurrentStroke", 99).Int("IntervalIndex", -4).Int("FileFormat", 255)
                 .Int("ContentKind", 255).Int("SourceProgram", 255).Int("Protocol", 255)
                 .F64("Date", std::numeric_limits<double>::infinity())
                 .F64("FileDate", std::numeric_limits<double>::quiet_NaN()).Bytes()});
    f.Chunk(3, 84, 2,
            {StrokeBuilder().Int("Number", 1).F32("Power", std::numeric_limits<float>::quiet_NaN()).Bytes(),
             StrokeBuilder().Int("Number", 2).F32("Power", std::numeric_limits<float>::infinity()).Bytes()});
    f.Chunk(6, 16, 1, {WorkoutBuilder().F32("Energy", -std::numeric_limits<float>::infinity()).Bytes()});
    TTraining t;
    ASSERT_TRUE(Decode(f.Bytes(), t));
    EXPECT_EQ((std::vector<double>{double(t.Header.CurrentStroke), double(t.Header.IntervalIndex), t.Header.Date,
                                   t.Header.FileDate, t.StrokeData[1].Power, t.StrokeData[2].Power, t.Workout.Energy}),
              (std::vector<double>{2, 0, 0, 0, 0, 0, 0}));
    // Enum bytes stay as stored; their names come through bounded lookups.
    EXPECT_EQ(t.Header.FileFormat, 255);
    EXPECT_EQ((std::vector<std::string_view>{TableName(FileFormatNames, t.Header.FileFormat),
                                             TableName(ContentKindNames, t.Header.ContentKind),
                                             TableName(SourceProgramNames, t.Header.SourceProgram),
                                             TableName(ProtocolNames, t.Header.Protocol)}),
              std::vector<std::string_view>(4, "-"));
}

TEST(StgReader, OldFilesOnlyGiveTheirHeader) {
    const auto old = BuildOldStgFile();
    TTraining t;
    EXPECT_FALSE(Decode(old, t));
    TStgHeader h;
    std::int32_t version = 0;
    ASSERT_TRUE(DecodeStgHeader(old.data(), old.size(), h, version));
    EXPECT_EQ(version, 0x00080400);
    EXPECT_EQ(h.Title, "Old title");

    // Chunks after the old header block do not make it a chunked file.
    auto withChunks = old;
    const auto chunk = TStgFileBuilder().Chunk(6, 16, 1, {WorkoutBuilder().F32("Time", 5).Bytes()}).Bytes();
    withChunks.insert(withChunks.end(), chunk.begin() + 8, chunk.end());
    EXPECT_FALSE(Decode(withChunks, t));
    ASSERT_TRUE(DecodeStgHeader(withChunks.data(), withChunks.size(), h, version));
    EXPECT_EQ(h.Name, "Old name");

    EXPECT_FALSE(DecodeStgHeader(old.data(), 1000, h, version));
    EXPECT_EQ(version, 0x00080400) << "the version read is kept";
}

TEST(StgFile, FullTrainingRoundTripThroughAFile) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("r\u00fcck.stg"));
    TTraining t = FullTraining(50, 1000);
    t.StrokeData[7].Number = 4000; // an import's own numbering
    ASSERT_TRUE(WriteStgFile(name, t));
    TTraining back;
    ASSERT_TRUE(ReadStgFile(name, back));
    EXPECT_EQ(back.Header.FileName, QStringToCp1252(name));
    t.StrokeData[7].Number = 7;
    ExpectSameStored(back, t);
    EXPECT_EQ(back.Version, StgWriterVersion());

    TStgHeader h;
    std::int32_t version = 0;
    ASSERT_TRUE(ReadStgHeader(name, h, version));
    EXPECT_EQ(h.Title, t.Header.Title);
    EXPECT_FALSE(ReadStgFile(dir.filePath(QStringLiteral("missing.stg")), back));
    EXPECT_FALSE(ReadStgHeader(dir.filePath(QStringLiteral("missing.stg")), h, version));
}

TEST(StgFile, FailedSaveLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("keep.stg"));
    const TTraining small = FullTraining(3, 0);
    ASSERT_TRUE(WriteStgFile(name, small));
    const QByteArray before = ReadAllBytes(name);
    ASSERT_FALSE(before.isEmpty());

    TTraining tooMany;
    SetStrokeCount(tooMany, 70000);
    EXPECT_FALSE(WriteStgFile(name, tooMany));
    EXPECT_FALSE(WriteStgFile(dir.filePath(QStringLiteral("no/such/folder/x.stg")), small));
    EXPECT_EQ(ReadAllBytes(name), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.stg")});
}

// Files made sparse (no disk blocks): a training, then an unknown chunk to the size. Only the
// chunks read are fetched; beyond the size limit nothing is.
TEST(StgFile, LargeFilesAreReadByTheirChunksUpToTheLimit) {
    QTemporaryDir dir;
    struct Case { const char* Name; qint64 Size; bool Ok; };
    for (const Case c : {Case{"100 MB", qint64{100} << 20, true},
                         Case{"the limit", kMaxStgFileSize, true},
                         Case{"one byte more", kMaxStgFileSize + 1, false},
                         Case{"1 GB", (qint64{1} << 30) - 1, false}}) {
        TStgFileBuilder f = BuildSampleStgFile();
        const qint64 filler = c.Size - qint64(f.Bytes().size()) - 7;
        f.Chunk(9, 1, std::int32_t(filler));
        const QString name = dir.filePath(QString::fromLatin1(c.Name) + QStringLiteral(".stg"));
        ASSERT_TRUE(WriteAllBytes(name, f.Bytes()));
        ASSERT_EQ(::truncate(QFile::encodeName(name).constData(), c.Size), 0);
        TTraining t;
        EXPECT_EQ(ReadStgFile(name, t), c.Ok) << c.Name;
        if (c.Ok) {
            EXPECT_EQ(t.StrokeData.size(), 4u) << c.Name;
        }
        EXPECT_EQ(LastReadError().isEmpty(), c.Ok) << c.Name;
        TStgHeader h;
        std::int32_t version = 0;
        EXPECT_EQ(ReadStgHeader(name, h, version), c.Ok) << c.Name;
        QFile::remove(name);
    }
}
