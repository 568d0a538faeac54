#include "devices/TrainingModuleFrames.h"

#include "foundation/core/AppUtils.h"

#include <cmath>

namespace {

constexpr unsigned char kHeaderByte = 0xFF;
constexpr unsigned char kFooterByte = 0xFE;

unsigned Byte(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

unsigned U16(std::string_view s, std::size_t i) {
    return Byte(s, i) | (Byte(s, i + 1) << 8);
}

std::uint32_t U32(std::string_view s, std::size_t i) {
    return std::uint32_t(U16(s, i)) | (std::uint32_t(U16(s, i + 2)) << 16);
}

QString TypeText(unsigned type) {
    return QStringLiteral("%1 ($%2)").arg(type).arg(type, 0, 16);
}

void LogNoFrame(unsigned type, std::uint8_t accepted, std::size_t dropped, const TVSLog& log) {
    if (log)
        log(QStringLiteral("CheckForFrame : No valid frame; received %1, expected %2. Clearing "
                           "first %3 bytes from buffer")
                .arg(TypeText(type), VSAcceptedTypesText(accepted))
                .arg(dropped));
}

}  // namespace

std::uint8_t FrameChecksum(std::string_view bytes) {
    std::uint8_t x = 0;
    for (char c : bytes)
        x ^= static_cast<std::uint8_t>(c);
    return x;
}

std::string VSCommandFrame(std::uint8_t type) {
    const char bytes[] = {char(kHeaderByte), char(kHeaderByte), 1, char(type), char(type),
                          char(kFooterByte), char(kFooterByte)};
    return std::string(bytes, sizeof bytes);
}

const TVSFrameKind* VSFrameKindOf(std::uint8_t type) {
    for (const TVSFrameKind& kind : kVSReceivedFrames)
        if (kind.Type == type)
            return &kind;
    return nullptr;
}

QString VSAcceptedTypesText(std::uint8_t accepted) {
    QStringList parts;
    for (unsigned k = 0; k < 8; ++k)
        if (accepted & (1u << k))
            parts << TypeText(kVSFrameTypeBase + k);
    return parts.join(QStringLiteral(" or "));
}

bool ValidFrameMember(int Received, int Expected, const QString& Name, const TVSLog& log) {
    if (Received == Expected)
        return true;
    if (log)
        log(QStringLiteral("ValidFrameMember : Invalid value for %1; received %2 ($%3), expected "
                           "%4 ($%5)")
                .arg(Name)
                .arg(Received)
                .arg(Received, 0, 16)
                .arg(Expected)
                .arg(Expected, 0, 16));
    return false;
}

TVSScan CheckForFrame(std::string& buffer, std::uint8_t accepted, TVSFrameIndex& index,
                      std::string& frame, const TVSLog& log) {
    index = vsfNone;
    if (buffer.size() < kVSShortestFrame)
        return TVSScan::Incomplete;
    // A frame start needs the shortest frame's room behind it; junk before it goes unlogged.
    const std::size_t last = buffer.size() - kVSShortestFrame;
    std::size_t start = 0;
    while (start <= last && !(Byte(buffer, start) == kHeaderByte && Byte(buffer, start + 1) == kHeaderByte))
        ++start;
    buffer.erase(0, start);
    if (buffer.size() < kVSShortestFrame ||
        !(Byte(buffer, 0) == kHeaderByte && Byte(buffer, 1) == kHeaderByte))
        return TVSScan::Incomplete;

    const unsigned size = Byte(buffer, 2);
    const unsigned type = Byte(buffer, 3);
    const TVSFrameKind* kind = VSFrameKindOf(std::uint8_t(type));
    // The size is checked before waiting for it: a false start must not hold the stream.
    bool valid = kind != nullptr;
    const QString name = kind ? QString::fromLatin1(kind->Name) : QString();
    if (valid)
        valid = ValidFrameMember(int(size), kind->Size, name + QStringLiteral(".iSize"), log);
    if (valid) {
        const std::size_t length = size + kVSFrameOverhead;
        if (buffer.size() < length)
            return TVSScan::Incomplete;
        const std::string_view whole(buffer.data(), length);
        valid = ValidFrameMember(int(Byte(whole, size + 3)), FrameChecksum(whole.substr(2, size + 1)),
                                 name + QStringLiteral(".iCRC"), log) &&
                ValidFrameMember(int(U16(whole, size + 4)), 0xFEFE, name + QStringLiteral(".iFooter"),
                                 log);
    }
    if (!valid) {
        LogNoFrame(type, accepted, 1, log);
        buffer.erase(0, 1);
        return TVSScan::Invalid;
    }
    const std::size_t length = size + kVSFrameOverhead;
    const auto k = TVSFrameIndex(type - kVSFrameTypeBase);
    if (!(accepted & VSFrameBit(k))) {
        LogNoFrame(type, accepted, length, log);
        buffer.erase(0, length);
        return TVSScan::NotAccepted;
    }
    frame.assign(buffer, 0, length);
    buffer.erase(0, length);
    index = k;
    if (log)
        log(QStringLiteral("CheckForFrame : FrameReceived %1").arg(TypeText(type)));
    return TVSScan::Taken;
}

TStgIni VSStartWorkoutIni(const std::string& frame) {
    TStgIni ini;
    ini.Weight = 85;
    ini.Ergometer = 2;  // the slider
    const int limitKind = int(Byte(frame, 4));
    const int limitValue = int(U16(frame, 5));
    const int intervalKind = int(Byte(frame, 7));
    const int work = int(U16(frame, 8));
    const int rest = int(U16(frame, 10));
    ini.SessionLimit = limitKind;
    switch (limitKind) {
    case 0: ini.LimitStrokes = limitValue; break;
    case 1: ini.LimitEnergy = limitValue; break;
    case 2: ini.LimitDistance = limitValue; break;
    case 3: ini.LimitTime = limitValue; break;
    case 4: ini.LimitIntervals = limitValue; break;
    default: break;
    }
    ini.IntervalBy = intervalKind;
    ini.WorkValue = work;
    ini.RestValue = rest;
    switch (intervalKind) {
    case 0: ini.WorkStrokes = work; ini.RestStrokes = rest; break;
    case 1: ini.WorkEnergy = work; ini.RestEnergy = rest; break;
    case 2: ini.WorkDistance = work; ini.RestDistance = rest; break;
    case 3: ini.WorkTime = work; ini.RestTime = rest; break;
    default: break;
    }
    return ini;
}

void VSDecodeStroke(const std::string& frame, float& energySum, TStgStrokeData& stroke,
                    TStgForceCurve& curve) {
    std::array<unsigned, kVSStrokeWords> w{};
    for (int i = 0; i < kVSStrokeWords; ++i)
        w[std::size_t(i)] = U16(frame, 4 + 2 * std::size_t(i));
    energySum += float(w[6]);
    const float time = float(w[3]) / 10.0f;
    stroke = TStgStrokeData{};
    stroke.Number = Word(w[0]);
    stroke.Power = float(w[1]) / 10.0f;
    stroke.AvgPower = SafeDivide(energySum, time);
    stroke.StrokeRate = float(w[2]);
    stroke.Time = time;
    stroke.Length = float(w[4]);
    stroke.Distance = float(w[5]);
    stroke.Est500mTime = SafeDivide(time, float(w[5])) * 500.0f;
    stroke.Energy = float(w[6]);
    stroke.EnergySum = energySum / 1000.0f;
    stroke.Pulse = float(w[7]);
    stroke.DriveRatio = SafeDivide(float(w[8]), float(w[9]));
    stroke.K = float(w[10]);
    stroke.IntervalNumber = Word(w[11]);
    stroke.DriveTime = float(w[8]) / 100.0f;
    stroke.DistancePerStroke = float(w[12]);

    curve = TStgForceCurve{};
    curve.Number = Word(w[0]);
    curve.Present = 1;
    const std::size_t forces = 4 + 2 * kVSStrokeWords;
    for (int i = 0; i < kVSForceBytes; ++i)
        curve.Force[std::size_t(i)] = Word(Byte(frame, forces + std::size_t(i)) * kVSForceScale);
}

TStgWorkout VSDecodeWorkout(const std::string& frame) {
    const double energy = U32(frame, 8);   // J
    const double distance = U32(frame, 12);  // 1/10 m
    const double time = U32(frame, 16) / 10.0;  // s
    TStgWorkout workout;
    workout.Distance = float(distance / 10.0);
    workout.Time = float(time);
    workout.Energy = float(energy / 1000.0);
    workout.AvgPower = SafeDivide(float(energy), float(time));
    return workout;
}

void SmoothForceCurve(TStgForceCurve& curve, int smoothing) {
    if (smoothing != 1 && smoothing != 2)
        return;
    const std::array<Word, kForceCurveSamples> c = curve.Force;
    const auto round = [](double v) { return Word(std::nearbyint(v)); };
    for (std::size_t i = 0; i + 1 < c.size(); ++i) {
        if (smoothing == 1)
            curve.Force[i] = round((c[i] + c[i + 1]) / 2.0);
        else if (i > 0)
            curve.Force[i] = round((c[i - 1] + c[i] + c[i + 1]) / 3.0);
    }
}
