// The flywheel model behind the built-in demo recording: a rower pulls a handle on a chain
// around a sprocket that drives the air wheel through a one-way clutch; a sensor sees the
// wheel's magnets pass. The model writes what the ergometer's electronics would have sent
// (one raw record per magnet pulse) and keeps its own truth per stroke for the tests.
//
// Everything is deterministic: a fixed seed, our own generator, our own sine, no library
// routine whose last bit may change between versions.
#pragma once

#include "foundation/core/Types.h"

#include <QByteArray>
#include <cstdint>
#include <string>
#include <vector>

// Machine, as the stroke engine assumes it.
inline constexpr int kDemoMagnets = 4;
inline constexpr double kDemoInertia = 0.1088;     // kg m^2
inline constexpr double kDemoDragFactor = 1.2e-4;  // N m s^2: air drag torque k w^2
inline constexpr double kDemoBearingTorque = 0.05; // N m: lets the wheel come to a stand
inline constexpr int kDemoCog = 11;
inline constexpr double kDemoLink = 0.008;         // m of chain per tooth
inline constexpr double kDemoCordTension = 21.0;   // N: the return cord at the catch
inline constexpr double kDemoCordStiffness = 10.7; // N/m
inline constexpr double kDemoStep = 20e-6;         // s, integration step
inline constexpr double kDemoJitter = 10e-6;       // s, sensor jitter of each pulse time (+-)

// Raw recording file: "MIL ", int32 program version, then 3-byte records.
inline constexpr int kDemoTicksPerSecond = 614000;
inline constexpr Word kDemoNoPulse = 65535; // the sensor's counter ran out without a magnet
inline constexpr int kDemoHeaderSize = 8;
inline constexpr std::uint8_t kDemoHeartRate = 0; // no chest belt; playback shows 150-154
inline constexpr std::uint64_t kDemoDefaultSeed = 0x4B41564531ULL;

// One part of a session: strokes at a rate and peak force that move linearly from the
// From to the To values over Seconds. A stop (Stop true) lets the wheel run down and stand
// for Seconds before the next part.
struct TDemoSegment {
    double Seconds = 0;
    double RateFrom = 24, RateTo = 24; // strokes per minute
    double PeakFrom = 700, PeakTo = 700; // N
    bool Stop = false;
};

struct TDemoSynthOptions {
    std::vector<TDemoSegment> Segments; // empty: the built-in session
    double MaxSeconds = 0;              // > 0: the model stops here (at the latest)
    std::uint64_t Seed = kDemoDefaultSeed;
    // > 0: the sensor misses one pulse in the recovery of every DropEvery-th stroke, DropAt of
    // the way through it (0 its start, 1 its end); the record after it spans both intervals.
    int DropEvery = 0;
    double DropAt = 0.5;
};

// The built-in session: warm-up, steady work, pieces, a stop, cool-down (about 30 minutes).
std::vector<TDemoSegment> DemoSessionProfile();
// Steady rowing for minutes at rate, then a stop with standSeconds of standing wheel when > 0.
std::vector<TDemoSegment> DemoSteadyProfile(double minutes, double rate, double peak,
                                            double standSeconds);

// What the model knows of each stroke.
struct TDemoStrokeTruth {
    int Number = 0;            // 1, 2, ...
    double StartTime = 0;      // s: the handle force begins
    double Rate = 0;           // strokes per minute: 60 / cycle time
    double DriveTime = 0;      // s: the clutch is engaged
    double DriveLength = 0;    // m of handle travel while engaged
    double HandleWork = 0;     // J: the rower's work on the handle (wheel and cord)
    double FlywheelWork = 0;   // J: the part that went through the chain to the wheel
    double PeakForce = 0;      // N: the highest handle force while engaged
    double OmegaMin = 0;       // rad/s over the stroke cycle
    double OmegaMax = 0;
};

struct TDemoSynthResult {
    std::vector<TStgRawData> Records;
    std::vector<TDemoStrokeTruth> Strokes;
    double Duration = 0; // s of model time
    long long Steps = 0;
};

TDemoSynthResult SynthesizeDemo(const TDemoSynthOptions& options);

// The raw recording file's bytes (little-endian).
QByteArray DemoFileBytes(const std::vector<TStgRawData>& records, std::uint32_t version);
// The truth as CSV, one header line and one line per stroke.
std::string DemoTruthCsv(const std::vector<TDemoStrokeTruth>& strokes);

// sin(pi x) for x in 0..1, from a fixed polynomial (identical everywhere).
double DemoHalfSine(double x);
