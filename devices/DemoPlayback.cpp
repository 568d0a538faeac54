// Demo playback and raw recording of the KV family. A demo plays a raw recording (a .dat file
// next to the program, else the built-in one) through the same pulse chain as live data, paced
// by the interface's one timer; a raw recording writes every pulse taken from a live source.
#include "devices/FlywheelInterface.h"

#include "foundation/files/RecordCodec.h"
#include "resources/DemoData.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Records played in one 1 ms timer event with DemoFast.
constexpr int kDemoFastBatch = 2000;
// A record is split into at most this many pulses: enough for any real flywheel, and a crafted
// file cannot make one record into an endless run of pulses.
constexpr int kDemoMaxSplit = 64;
// The sensor's counter ran out without a magnet.
constexpr std::uint16_t kRawNoPulseTicks = 65535;

}  // namespace

// ---------------------------------------------------------------- recording

void TKVInterface::RecordStart() {
    if (FRecordOpen)
        RecordStop();
    if (FRecordFileName.isEmpty())
        return;
    try {
        QFile::remove(FRecordFileName);
        FRecordFile = std::make_unique<QFile>(FRecordFileName);
        if (!FRecordFile->open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw EKeloError(QStringLiteral("Cannot create file \"%1\". %2")
                                 .arg(FRecordFileName, FRecordFile->errorString())
                                 .toStdString());
        TByteWriter header(kKvRawHeaderSize);
        header.WriteBytes(TrainingMagic.data(), TrainingMagic.size());
        header.WriteU32(GetFileVersionInt());
        if (FRecordFile->write(reinterpret_cast<const char*>(header.Data().data()),
                               kKvRawHeaderSize) != kKvRawHeaderSize ||
            !FRecordFile->flush())
            throw EKeloError(std::string("Write header"));
        FRecordOpen = 1;
    } catch (...) {
        if (FRecordFile)
            FRecordFile->close();
        FRecordFile.reset();
        throw;
    }
}

void TKVInterface::RecordData() {
    if (!FRecordOpen || !FRecordFile)
        return;
    const Word ticks = FloatToWord(FInterval * kKvTicksPerSecond);
    const char record[kStgRawDataSize] = {char(ticks & 0xFF), char(ticks >> 8),
                                          char(std::clamp(FHeartRaw, 0, 255))};
    if (FRecordFile->write(record, kStgRawDataSize) != kStgRawDataSize)
        ShowError(QStringLiteral("Writelog : Write data"));
}

void TKVInterface::RecordStop() {
    if (!FRecordOpen)
        return;
    FRecordOpen = 0;
    const bool flushed = FRecordFile->flush();
    const QString error = FRecordFile->errorString();
    FRecordFile->close();
    FRecordFile.reset();
    if (!flushed)
        ShowError(QStringLiteral("Closelog : ") + error);
}

// ---------------------------------------------------------------- playback

QString TKVInterface::DemoFileName() const {
    const QFileInfo program(QCoreApplication::applicationFilePath());
    QString name = program.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    return program.absolutePath() + QLatin1Char('/') + name + QStringLiteral(".dat");
}

void TKVInterface::DemoOpen() {
    FValidData = 0;
    FDataSeen = 0;
    try {
        const QString fileName = DemoFileName();
        if (!fileName.isEmpty() && QFileInfo(fileName).isFile()) {
            FDemoFromFile = 1;
            FDemoFile = std::make_unique<QFile>(fileName);
            if (!FDemoFile->open(QIODevice::ReadOnly))
                throw EKeloError(QStringLiteral("Cannot open file \"%1\". %2")
                                     .arg(fileName, FDemoFile->errorString())
                                     .toStdString());
        } else {
            FDemoFromFile = 0;
            InitDemoDataResource();
            FDemoFile = std::make_unique<QFile>(QString::fromLatin1(kDemoDataResource));
            if (!FDemoFile->open(QIODevice::ReadOnly))
                throw EKeloError(std::string("Resource DEMODATA not found"));
        }
        FDemoSize = FDemoFile->size();
        if (FDemoSize < kKvRawHeaderSize)
            throw EKeloError(std::string("Filesize"));
        char header[kKvRawHeaderSize];
        if (FDemoFile->read(header, kKvRawHeaderSize) != kKvRawHeaderSize)
            throw EKeloError(std::string("Read header"));
        if (std::memcmp(header, TrainingMagic.data(), TrainingMagic.size()) != 0)
            throw EKeloError(std::string("Invalid file"));
    } catch (const std::exception& e) {
        ShowError(QStringLiteral("DemoOpen %1 : %2").arg(FDemoFromFile).arg(QString::fromUtf8(e.what())));
        return;
    }
    if (FProtocolSet.Contains(kvpDOS))
        FProtocol = kvpDOS;
    else if (FProtocolSet.Contains(kvpKvw))
        FProtocol = kvpKvw;
    else if (FProtocolSet.Contains(kvpKV3W))
        FProtocol = kvpKV3W;
    FDueTick = Clock().NowMs();
    // Without a first record the data ended already, and DemoRead closed the interface.
    if (DemoRead()) {
        FOpenName = QStringLiteral("DEMO");
        StartTimer(int(std::nearbyint(FInterval * 1000)), [this] { DemoTimer(); });
    }
}

void TKVInterface::TakeRawRecord(std::uint16_t ticks, std::uint8_t heart, bool fromResource) {
    FInterval = double(ticks) / kKvTicksPerSecond;
    FHeartRaw = heart;
    // The built-in recording carries no real heart rate.
    if (fromResource && heart < 50)
        FHeartRaw = 150 + int(QRandomGenerator::global()->bounded(5));
    FNoPulse = ticks == kRawNoPulseTicks;
}

bool TKVInterface::DemoRead() {
    if (FDemoSize < 0 || !FDemoFile)
        return false;
    try {
        if (FDemoSize - FDemoFile->pos() < kStgRawDataSize) {
            Close();
            return false;
        }
        std::uint8_t bytes[kStgRawDataSize];
        if (FDemoFile->read(reinterpret_cast<char*>(bytes), kStgRawDataSize) != kStgRawDataSize)
            throw EKeloError(std::string("Read data"));
        TByteReader reader(bytes, kStgRawDataSize);
        TStgRawData record;
        ReadStgRawRecord(reader, record);
        TakeRawRecord(record.Interval, record.HeartRate, FDemoFromFile == 0);
        FDataSeen = 1;
        if (!FValidData) {
            FValidData = 1;
            if (FState == kvsOpening) {
                const QPointer<TKVInterface> self(this);
                SetState(kvsOpened);
                if (!self)
                    return false;
            }
        }
        return FState > kvsClosed && FDemoSize >= 0;  // a handler may have closed it
    } catch (const std::exception& e) {
        ShowError(QStringLiteral("DemoRead %1 : %2").arg(FDemoFromFile).arg(QString::fromUtf8(e.what())));
        return false;
    }
}

void TKVInterface::DemoProcess() {
    int n = 1;
    if (FPreviousInterval <= kKvInvalidInterval) {
        const double ratio = SafeDivide(float(FInterval), float(FPreviousInterval));
        n = int(std::clamp(std::nearbyint(ratio), 1.0, double(kDemoMaxSplit)));
        // Beyond the limit only one missed pulse is split (an interval twice the last, as in a
        // slow recovery); a wheel that starts, stops or stands gives no pulse there.
        if (FInterval > kKvInvalidInterval &&
            (n != 2 || FNoPulse || FInterval / n >= kKvInvalidInterval))
            n = 1;
        FInterval /= n;
    }
    DeliverPulses(n);
}

bool TKVInterface::DemoStopped() const {
    return FState == kvsClosing || FState == kvsClosed || FState == kvsPausing ||
           FState == kvsPaused;
}

void TKVInterface::DemoTimer() {
    SetTimerEnabled(false);
    if (DemoStopped())
        return;
    // A handler of a pulse's events may destroy the interface.
    const QPointer<TKVInterface> self(this);
    DemoProcess();  // the record that was due
    int ms = 0;
    int played = 1;
    for (;;) {
        if (!self || FState <= kvsClosed || !DemoRead() || !self)
            return;  // closed or destroyed, by a handler or at the end of the data
        ms = int(std::nearbyint(FInterval * 1000));
        FDueTick += ms;
        if (DemoStopped())
            return;  // paused by a handler: Continue enables the timer again
        // Records already overdue are played at once, so the pace holds on average.
        const bool now = FDemoFast ? played < kDemoFastBatch : Clock().NowMs() > FDueTick;
        if (!now)
            break;
        DemoProcess();
        if (!self)
            return;
        ++played;
    }
    if (FDemoFast)
        FDueTick = Clock().NowMs();  // without DemoFast the pace goes on from here
    SetTimerInterval(ms == 0 || FDemoFast ? 1 : ms);
    SetTimerEnabled(true);
}

void TKVInterface::DemoClose() {
    FDemoSize = -1;
    if (FDemoFile)
        FDemoFile->close();
    FDemoFile.reset();
}
