// Readable stroke records in test failure messages: every field by name.
#pragma once

#include "foundation/core/Types.h"

#include <ostream>

inline void PrintTo(const TStgStrokeData& s, std::ostream* os)
{
    *os << "{Number " << s.Number << ", Power " << s.Power << ", AvgPower " << s.AvgPower << ", StrokeRate "
        << s.StrokeRate << ", TargetPower " << s.TargetPower << ", Time " << s.Time << ", Length " << s.Length
        << ", Distance " << s.Distance << ", Est500mTime " << s.Est500mTime << ", Energy " << s.Energy
        << ", EnergySum " << s.EnergySum << ", Pulse " << s.Pulse << ", WorkPerPulse " << s.WorkPerPulse
        << ", PeakForce " << s.PeakForce << ", PeakForcePos " << s.PeakForcePos << ", RelPeakForcePos "
        << s.RelPeakForcePos << ", DriveRatio " << s.DriveRatio << ", K " << s.K << ", IntervalNumber "
        << s.IntervalNumber << ", IntervalCountdown " << s.IntervalCountdown << ", IntervalPower "
        << s.IntervalPower << ", DriveTime " << s.DriveTime << ", DistancePerStroke " << s.DistancePerStroke << "}";
}
