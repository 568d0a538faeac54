#include "foundation/files/RecordCodec.h"

#include <algorithm>
#include <cmath>

namespace {

// NaN and infinities become 0.
float ReadSafeFloat(TByteReader& r) {
    const float value = r.ReadFloat();
    return std::isfinite(value) ? value : 0.0f;
}
double ReadSafeDouble(TByteReader& r) {
    const double value = r.ReadDouble();
    return std::isfinite(value) ? value : 0.0;
}

} // namespace

bool ReadGuid(TByteReader& r, TGUID& guid) {
    guid.D1 = r.ReadU32();
    guid.D2 = r.ReadU16();
    guid.D3 = r.ReadU16();
    r.ReadBytes(guid.D4.data(), guid.D4.size());
    return !r.Failed();
}

void WriteGuid(TByteWriter& w, const TGUID& guid) {
    w.WriteU32(guid.D1);
    w.WriteU16(guid.D2);
    w.WriteU16(guid.D3);
    w.WriteBytes(guid.D4.data(), guid.D4.size());
}

// The order below is the order of kStgHeaderLayout; a test checks every offset.
bool ReadStgHeaderRecord(TByteReader& r, TStgHeader& h) {
    if (!r.CanRead(kStgHeaderSize)) {
        r.Skip(kStgHeaderSize);
        return false;
    }
    h.FileName = r.ReadShortString();
    h.FileDate = ReadSafeDouble(r);
    h.FileSize = r.ReadI32();
    h.FileFormat = r.ReadU8();
    h.ContentKind = r.ReadU8();
    h.Title = r.ReadShortString();
    h.Name = r.ReadShortString();
    h.Description = r.ReadShortString();
    h.Date = ReadSafeDouble(r);
    h.TrainingType = r.ReadShortString();
    h.Event = r.ReadShortString();
    h.Note = r.ReadShortString();
    h.SourceFileName = r.ReadShortString();
    h.SourceFileDate = ReadSafeDouble(r);
    h.SourceFileSize = r.ReadI32();
    h.SourceFileFormat = r.ReadU8();
    h.SourceContentKind = r.ReadU8();
    h.Active = r.ReadU8();
    h.Reserved = r.ReadU8();
    h.CurrentStroke = r.ReadI32();
    h.Color = r.ReadI32();
    h.PenStyle = r.ReadU8();
    h.PenWidth = r.ReadI32();
    h.Modified = r.ReadU8();
    h.CurveMode = r.ReadU8();
    h.IntervalIndex = r.ReadI32();
    h.SourceProgram = r.ReadU8();
    h.InterfaceType = r.ReadU8();
    h.Protocol = r.ReadU8();
    h.DeviceId = r.ReadShortString();
    ReadGuid(r, h.Guid);
    return !r.Failed();
}

void WriteStgHeaderRecord(TByteWriter& w, const TStgHeader& h) {
    w.WriteShortString(h.FileName);
    w.WriteDouble(h.FileDate);
    w.WriteI32(h.FileSize);
    w.WriteU8(h.FileFormat);
    w.WriteU8(h.ContentKind);
    w.WriteShortString(h.Title);
    w.WriteShortString(h.Name);
    w.WriteShortString(h.Description);
    w.WriteDouble(h.Date);
    w.WriteShortString(h.TrainingType);
    w.WriteShortString(h.Event);
    w.WriteShortString(h.Note);
    w.WriteShortString(h.SourceFileName);
    w.WriteDouble(h.SourceFileDate);
    w.WriteI32(h.SourceFileSize);
    w.WriteU8(h.SourceFileFormat);
    w.WriteU8(h.SourceContentKind);
    w.WriteU8(h.Active);
    w.WriteU8(h.Reserved);
    w.WriteI32(h.CurrentStroke);
    w.WriteI32(h.Color);
    w.WriteU8(h.PenStyle);
    w.WriteI32(h.PenWidth);
    w.WriteU8(h.Modified);
    w.WriteU8(h.CurveMode);
    w.WriteI32(h.IntervalIndex);
    w.WriteU8(h.SourceProgram);
    w.WriteU8(h.InterfaceType);
    w.WriteU8(h.Protocol);
    w.WriteShortString(h.DeviceId);
    WriteGuid(w, h.Guid);
}

bool ReadStgIniRecord(TByteReader& r, TStgIni& ini) {
    for (std::int32_t TStgIni::*field : StgIniFields)
        ini.*field = r.ReadI32();
    return !r.Failed();
}

void WriteStgIniRecord(TByteWriter& w, const TStgIni& ini) {
    for (std::int32_t TStgIni::*field : StgIniFields)
        w.WriteI32(ini.*field);
}

bool ReadStgStrokeRecord(TByteReader& r, TStgStrokeData& s) {
    s.Number = r.ReadU16();
    s.Power = ReadSafeFloat(r);
    s.AvgPower = ReadSafeFloat(r);
    s.StrokeRate = ReadSafeFloat(r);
    s.TargetPower = ReadSafeFloat(r);
    s.Time = ReadSafeFloat(r);
    s.Length = ReadSafeFloat(r);
    s.Distance = ReadSafeFloat(r);
    s.Est500mTime = ReadSafeFloat(r);
    s.Energy = ReadSafeFloat(r);
    s.EnergySum = ReadSafeFloat(r);
    s.Pulse = ReadSafeFloat(r);
    s.WorkPerPulse = ReadSafeFloat(r);
    s.PeakForce = ReadSafeFloat(r);
    s.PeakForcePos = ReadSafeFloat(r);
    s.RelPeakForcePos = ReadSafeFloat(r);
    s.DriveRatio = ReadSafeFloat(r);
    s.K = ReadSafeFloat(r);
    s.IntervalNumber = r.ReadU16();
    s.IntervalCountdown = r.ReadU16();
    s.IntervalPower = r.ReadU16();
    s.DriveTime = ReadSafeFloat(r);
    s.DistancePerStroke = ReadSafeFloat(r);
    return !r.Failed();
}

void WriteStgStrokeRecord(TByteWriter& w, const TStgStrokeData& s) {
    w.WriteU16(s.Number);
    w.WriteFloat(s.Power);
    w.WriteFloat(s.AvgPower);
    w.WriteFloat(s.StrokeRate);
    w.WriteFloat(s.TargetPower);
    w.WriteFloat(s.Time);
    w.WriteFloat(s.Length);
    w.WriteFloat(s.Distance);
    w.WriteFloat(s.Est500mTime);
    w.WriteFloat(s.Energy);
    w.WriteFloat(s.EnergySum);
    w.WriteFloat(s.Pulse);
    w.WriteFloat(s.WorkPerPulse);
    w.WriteFloat(s.PeakForce);
    w.WriteFloat(s.PeakForcePos);
    w.WriteFloat(s.RelPeakForcePos);
    w.WriteFloat(s.DriveRatio);
    w.WriteFloat(s.K);
    w.WriteU16(s.IntervalNumber);
    w.WriteU16(s.IntervalCountdown);
    w.WriteU16(s.IntervalPower);
    w.WriteFloat(s.DriveTime);
    w.WriteFloat(s.DistancePerStroke);
}

bool ReadStgForceCurveRecord(TByteReader& r, TStgForceCurve& c) {
    c.Number = r.ReadU16();
    c.Present = r.ReadU8();
    for (Word& f : c.Force)
        f = r.ReadU16();
    return !r.Failed();
}

void WriteStgForceCurveRecord(TByteWriter& w, const TStgForceCurve& c) {
    w.WriteU16(c.Number);
    w.WriteU8(c.Present);
    for (Word f : c.Force)
        w.WriteU16(f);
}

bool ReadStgIntervalRecord(TByteReader& r, TStgInterval& i) {
    i.Number = r.ReadU16();
    i.AvgPower = r.ReadU16();
    i.AvgRate = r.ReadU16();
    i.Time = r.ReadU16();
    i.Distance = r.ReadU16();
    i.AvgPulse = r.ReadU16();
    ReadStgForceCurveRecord(r, i.Curve);
    ReadStgStrokeRecord(r, i.Stroke);
    return !r.Failed();
}

void WriteStgIntervalRecord(TByteWriter& w, const TStgInterval& i) {
    w.WriteU16(i.Number);
    w.WriteU16(i.AvgPower);
    w.WriteU16(i.AvgRate);
    w.WriteU16(i.Time);
    w.WriteU16(i.Distance);
    w.WriteU16(i.AvgPulse);
    WriteStgForceCurveRecord(w, i.Curve);
    WriteStgStrokeRecord(w, i.Stroke);
}

bool ReadStgRawRecord(TByteReader& r, TStgRawData& raw) {
    raw.Interval = r.ReadU16();
    raw.HeartRate = r.ReadU8();
    return !r.Failed();
}

void WriteStgRawRecord(TByteWriter& w, const TStgRawData& raw) {
    w.WriteU16(raw.Interval);
    w.WriteU8(raw.HeartRate);
}

bool ReadStgWorkoutRecord(TByteReader& r, TStgWorkout& wo) {
    wo.Distance = ReadSafeFloat(r);
    wo.Time = ReadSafeFloat(r);
    wo.Energy = ReadSafeFloat(r);
    wo.AvgPower = ReadSafeFloat(r);
    return !r.Failed();
}

void WriteStgWorkoutRecord(TByteWriter& w, const TStgWorkout& wo) {
    w.WriteFloat(wo.Distance);
    w.WriteFloat(wo.Time);
    w.WriteFloat(wo.Energy);
    w.WriteFloat(wo.AvgPower);
}

bool ReadStgOldHeaderRecord(TByteReader& r, TStgHeader& h, std::int32_t& version) {
    if (!r.CanRead(kStgOldHeaderSize)) {
        r.Skip(kStgOldHeaderSize);
        return false;
    }
    const std::size_t start = r.Position();
    h = TStgHeader{};
    char magic[4];
    r.ReadBytes(magic, 4);
    version = r.ReadI32();
    h.FileName = r.ReadZeroTerminated(260, kShortStringMax);    // 8
    h.FileDate = ReadSafeDouble(r);                             // 268
    h.FileSize = r.ReadI32();                                   // 276
    h.FileFormat = r.ReadU8();                                  // 280
    h.ContentKind = r.ReadU8();                                 // 281
    h.Title = r.ReadZeroTerminated(40, kShortStringMax);        // 282
    h.Name = r.ReadZeroTerminated(40, kShortStringMax);         // 322
    h.Description = r.ReadZeroTerminated(40, kShortStringMax);  // 362
    h.Date = ReadSafeDouble(r);                                 // 402
    h.TrainingType = r.ReadZeroTerminated(20, kShortStringMax); // 410
    h.Event = r.ReadZeroTerminated(20, kShortStringMax);        // 430
    h.Note = r.ReadZeroTerminated(256, kShortStringMax);        // 450
    h.SourceFileName = r.ReadZeroTerminated(260, kShortStringMax); // 706
    h.SourceFileDate = ReadSafeDouble(r);                       // 966
    h.SourceFileSize = r.ReadI32();                             // 974
    h.SourceFileFormat = r.ReadU8();                            // 978
    h.SourceContentKind = r.ReadU8();                           // 979
    h.Active = r.ReadU8();                                      // 980
    h.CurveMode = r.ReadU8() != 0 ? 1 : 0;                      // 981
    r.Skip(4 + 4 + 4 + 2);                                      // 982 .. 995: not used
    h.Color = r.ReadI32();                                      // 996
    h.PenStyle = r.ReadU8();                                    // 1000
    h.PenWidth = r.ReadI32();                                   // 1001
    h.Modified = r.ReadU8();                                    // 1005
    r.Seek(start + kStgOldHeaderSize);
    return !r.Failed() && std::equal(magic, magic + 4, TrainingMagic.begin());
}
