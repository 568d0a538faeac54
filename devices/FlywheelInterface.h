// The rowing machine's own electronics (and the partner slider) on a serial port: samples and
// text lines are recognised in the byte stream, decoded into a pulse interval and a heart rate,
// split when one sample spans several magnets, and handed pulse by pulse to the stroke engine.
#pragma once

#include "devices/Interface.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using TKVRawDataEvent =
    std::function<void(TInterface* Sender, double Wheel, int HeartRaw, int HeartCorrected)>;
using TKVForceDataEvent = std::function<void(TInterface* Sender, int Puls, double Length,
                                             double Force, double DeltaTime)>;

// Flywheel interval: a 15-bit code v stands for (kKvNoPulseCode - v) ticks of 1/kKvTicksPerSecond
// s; the code kKvNoPulseCode means that no magnet passed during the sample.
inline constexpr int kKvTicksPerSecond = 614000;
inline constexpr int kKvNoPulseCode = 32767;
inline constexpr double kKvNoPulseInterval = 1.0;
// Intervals from here on are not valid pulses for stroke detection.
inline constexpr double kKvInvalidInterval = double(kKvNoPulseCode) / kKvTicksPerSecond;
inline constexpr int kKvSampleSize = 4;
inline constexpr int kKvHeartMin = 30;
inline constexpr int kKvHeartMax = 240;
inline constexpr double kKvSliderTick = 0.00000864;  // s per unit of a slider "!S," value
inline constexpr std::uint8_t kKvSliderInterfaceType = 5;
inline constexpr int kKvNoDataTimeoutMs = 3000;
// No ergometer has more magnets on its flywheel; a larger setting is a damaged value.
inline constexpr int kMaxMagnets = 64;

// The slider's identification line (awaited while opening) and its start banner.
inline constexpr std::string_view kSliderIdentification = "VELTRO Slider VSM";
inline constexpr std::string_view kSliderBanner = "VELTRO VSM 2.0";

// One decoded sample.
struct TKVSample {
    double Interval = 0;  // s, rounded to the microsecond
    int HeartRaw = 0;     // beats per minute, 30..240
    bool NoPulse = false;
};

// One valid pulse as the stroke engine keeps it.
struct TKVEngineSample {
    double Interval = 0;      // s
    double MeanInterval = 0;  // s, over the last Magnets pulses (one revolution)
    double Time = 0;          // s, cumulative
    double Acceleration = 0;  // 1 - previous MeanInterval / MeanInterval
    int PulseNumber = 0;      // pulses since the drive start
    double DragEstimate = 0;  // drag factor from this sample (recovery)
    double SpeedSquare = 0;   // 1 / MeanInterval^2
    double KineticDelta = 0;  // J since the previous sample
    double DragWork = 0;      // J against the air during this pulse
    double Force = 0;         // N at the handle
    double HeartRate = 0;     // HeartCorrected at this sample
};

// The engine's constants, derived from the model properties at open.
struct TKVModelConstants {
    double CubeRootMass = 0;
    double Mass = 0;
    double PulsesPerRadian = 0;
    double InertiaPerRadian = 0;
    double HandlePerPulse = 0;        // m of handle travel per pulse
    double EnergyPerSpeedSquare = 0;  // flywheel energy = this / T^2, T the mean interval
    double HalfElastConst = 0;
};

// Boat speed factors by TKeloBoatType.
inline constexpr std::array<double, 8> BoatFactors{1.322, 1.253, 1.377, 1.435,
                                                   1.443, 1.52,  1.563, 1.625};
// The boat's own share of the moved mass (kg), added to the rower's weight.
inline constexpr double kBoatMassAllowance = 17.5;
// The rower's weight a new user starts with (kg).
inline constexpr double kDefaultCrewWeight = 80.0;
// The ergometer convention between power and speed: P = 2.8 v^3 (W, m/s).
inline constexpr double kErgometerPowerPerSpeedCube = 2.8;
// Boat speed in m/s at a power in W: grows with the cube root of the power, keeps the classes'
// ratios, falls with the cube root of the moved mass; the single scull at the default weight
// follows the ergometer convention.
double BoatSpeed(TKeloBoatType boat, double cubeRootMass, double power);

// Raw recordings (.dat): the training-file magic, the packed program version, then 3-byte
// records (u16 ticks of 1/kKvTicksPerSecond s, u8 heart rate).
inline constexpr int kKvRawHeaderSize = 8;

// Whether the four bytes at b are a sample of protocol p (kvpDOS, kvpKvw or kvpKV3W).
bool KvDetectSample(TKeloProtocol p, const unsigned char* b, bool strict);
TKVSample KvDecodeSample(const unsigned char* b);
// The value of a "!S,"/"!R," line (characters 4 to 7); false when they are not a number.
bool KvSliderLineValue(std::string_view line, int& value);
// The start of a received line for a trace: printable ASCII as it is, other bytes as \xNN.
QString KvLineExcerpt(std::string_view line);

// Texts of the pulse pattern for the connect and row windows.
QString SpinnerTextOf(int pulseCount);
QString MagnetStatsTextOf(const std::vector<int>& smaller, const std::vector<int>& equal,
                          const std::vector<int>& greater);

class TKVInterface : public TInterface {
public:
    TKVInterface(TCreateKey key, QObject* owner);
    ~TKVInterface() override;

    void Close() override;
    void Pause() override;
    void Continue() override;
    void Reset() override;

    // Properties
    bool DoCalculate() const { return FDoCalculate; }
    void SetDoCalculate(bool value) { FDoCalculate = value; }
    bool DemoFast() const { return FDemoFast; }
    void SetDemoFast(bool value) { FDemoFast = value; }
    double ElastConst() const { return FElastConst; }
    void SetElastConst(double value) { FElastConst = value; }
    double Inertia() const { return FInertia; }
    void SetInertia(double value) { FInertia = value; }
    double Link() const { return FLink; }
    void SetLink(double value) { FLink = value; }
    int Magnets() const { return FMagnets; }
    // Per-magnet arrays and the engine's windows are sized by this: kept within 1..kMaxMagnets.
    void SetMagnets(int value) { FMagnets = std::clamp(value, 1, kMaxMagnets); }
    double Tension() const { return FTension; }
    void SetTension(double value) { FTension = value; }
    int StrokeTrigger() const { return FStrokeTrigger; }
    void SetStrokeTrigger(int value) { FStrokeTrigger = value; }
    int ThresHold() const { return FThresHold; }
    void SetThresHold(int value) { FThresHold = value; }
    bool StrictProtocol() const { return FStrictProtocol; }
    void SetStrictProtocol(bool value) { FStrictProtocol = value; }
    bool RawHeartRate() const { return FRawHeartRate; }
    void SetRawHeartRate(bool value) { FRawHeartRate = value; }

    // Receive path
    double Interval() const { return FInterval; }
    int HeartRaw() const { return FHeartRaw; }
    double PreviousInterval() const { return FPreviousInterval; }
    double HeartCorrected() const { return FHeartCorrected; }
    int PulseCount() const { return FPulseCount; }
    const std::vector<std::uint8_t>& PulseValidity() const { return FPulseValidity; }
    bool AllPulsesValid() const;
    int MagnetIndex() const { return FMagnetIndex; }
    QString SpinnerText() const { return SpinnerTextOf(FPulseCount); }
    QString MagnetPatternText() const;
    QString MagnetStatsText() const;

    // Stroke engine, read-only
    const TKVModelConstants& ModelConstants() const { return FModel; }
    int SampleCount() const { return FSampleCount; }
    // Sample i, 0 <= i <= SampleCount(); sample 0 is the session's zero sample.
    const TKVEngineSample& EngineSample(int i) const { return FSampleTable[std::size_t(i)]; }
    int Phase() const { return FPhase; }
    int DriveStart() const { return FDriveStart; }
    int RecoveryStart() const { return FRecoveryStart; }
    int StrokeCount() const { return FStrokeCount; }
    double DragFactor() const { return FDragFactor; }
    double TotalEnergy() const { return FTotalEnergy; }
    double TotalDistance() const { return FTotalDistance; }
    bool Active() const { return FActive != 0; }

    TKVRawDataEvent OnRawData;
    TKVForceDataEvent OnForceData;

protected:
    void ClearOnClose() override;
    void ComPortOpen() override;
    // Runs once the port is open, before the wait for data (a device may need waking first).
    virtual void PortOpened() {}
    void ComPortRxCluster(TSerialPortNG* Sender) override;
    void Prepare() override;
    void NoDataTimer();
    void ShiftPulseValidity();
    void UpdateMagnetStats();
    // Pulse validity and magnet statistics back to Magnets cleared entries.
    void ResetReceiveStats();

    // Raw recording and demo playback
    void RecordStart() override;
    void RecordData() override;
    void RecordStop() override;
    void DemoOpen() override;
    void DemoClose() override;
    bool DemoRead() override;
    void DemoProcess() override;
    void DemoTimer() override;
    // The program's own path with the extension ".dat"; the built-in recording when missing.
    virtual QString DemoFileName() const;
    // Takes one raw record as DemoRead does: Interval, HeartRaw and the split reset.
    void TakeRawRecord(std::uint16_t ticks, std::uint8_t heart, bool fromResource);

    // Stroke engine (untInterfaceKVEngine.cpp). AnalysePulse takes each pulse once Interval,
    // HeartRaw and the pulse validity are set; Split is true for a part of a divided sample.
    virtual void AnalysePulse(bool Split);
    void ResetSession();
    void UpdateModelConstants();

    bool FDoCalculate = false;
    bool FDemoFast = false;
    bool FStrictProtocol = true;
    bool FRawHeartRate = false;
    int FStrokeTrigger = 0;
    int FThresHold = 0;
    int FMagnets = 4;
    double FInertia = 0.1088;
    double FTension = 21.0;
    double FElastConst = 10.7;
    double FLink = 0.008;

    double FInterval = 0;
    int FHeartRaw = 0;
    double FPreviousInterval = 0;
    double FHeartCorrected = 0;
    bool FNoPulse = false;
    std::vector<std::uint8_t> FPulseValidity;
    int FPulseCount = 0;
    std::vector<double> FMagnetDelta;
    std::vector<std::uint8_t> FMagnetPattern;  // TKeloMagnet values
    std::vector<int> FSmallerCounts, FEqualCounts, FGreaterCounts;
    int FMagnetIndex = -1;

    // Engine phase; Close sets it back
    std::uint8_t FPhase = 0;  // 0 idle, 1 drive, 2 recovery

    // Demo playback and recording
    std::uint8_t FDemoFromFile = 0;
    qint64 FDemoSize = -1;  // -1 while closed
    std::unique_ptr<QFile> FDemoFile;  // the .dat file or the resource
    std::int64_t FDueTick = 0;         // Clock() ms when the record last read is due
    std::unique_ptr<QFile> FRecordFile;

private:
    // Stroke engine (untInterfaceKVEngine.cpp)
    static constexpr int kHeartRateHistory = 50;
    double CorrectedHeartRate();
    double MeanInterval(double interval);
    void ComputeDriveSample(int i);
    bool CheckDriveEnd(int m) const;
    // Hands drive sample i to OnForceData (no force at the drive end); false when the handler
    // interrupted the engine.
    bool SendForceData(int i, bool driveEnd);
    void SendStrokeRecord();
    void SendIdleRecord();
    void StartDriveFromRecovery();
    // True when an event handler destroyed the interface, closed it or reset the session
    // meanwhile. Read through the guard only: after an event the object may be gone.
    static bool EngineInterrupted(const QPointer<TKVInterface>& self, int sampleCount) {
        return !self || self->FState <= kvsClosed || self->FSampleCount != sampleCount;
    }

    TKVModelConstants FModel;
    double FPulsesPerRadianCube = 0;
    int FEngineMagnets = 1;  // Magnets at the session reset
    std::uint8_t FActive = 0;
    std::uint8_t FSplitSeen = 0;
    int FResumedDriveSample = -1;  // the first drive sample after the last pause
    int FSampleCount = 0;
    int FDriveStart = 0;
    int FRecoveryStart = 0;
    int FStrokeCount = 0;
    std::int64_t FLastRecordTick = 0;  // Clock() ms of the last stroke or idle record
    std::int64_t FPauseTick = 0;       // Clock() ms when the run of valid pulses last broke
    double FPendingTime = 0;
    std::vector<TKVEngineSample> FSampleTable;
    std::vector<double> FIntervalWindow;
    double FDragFactor = 0.0001;
    std::array<double, kHeartRateHistory> FHeartRateHistory{};
    int FHeartRateFilled = 0;  // history entries of the current steady run
    int FHeartRateHead = 0;
    int FHeartRateCounter = 1;
    double FTotalEnergy = 0;
    double FTotalDistance = 0;
    double FLastStrokeTime = 0;
    double FTimeOrigin = 0;       // the session's time 0 on the engine's time line
    bool FFromRest = true;        // the next stroke is the session's first, from rest
    bool FRecoveryWhole = false;  // the next stroke's recovery is measured whole
    bool FSkipStroke = false;     // the stroke under way at a reset is not counted

    // Demo playback (untInterfaceKVDemo.cpp)
    bool DemoStopped() const;

    enum class TLine { NoMatch, Match, Malformed };
    void ProcessReceiveBuffer();
    // Hands n pulses of the current interval to the recording, the statistics, OnRawData and
    // the engine; stops when an event closed the interface. False when an event destroyed it.
    bool DeliverPulses(int n);
    bool BufferReady() const;
    // The protocol of the unit at the start of the buffer and its length; kvpUnknown when none
    // (length then is that of a complete line that is no protocol line, else 0).
    TKeloProtocol DetectUnit(std::size_t& length, bool& malformed) const;
    std::size_t FJunkLineLeft = 0;  // bytes of the traced unmatched line still buffered
    TLine CheckLine(std::string_view line) const;
    void DecodeUnit(TKeloProtocol protocol, std::string_view unit);
};
