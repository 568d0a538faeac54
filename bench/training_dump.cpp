// training_dump FILE: opens a training file and prints the record as JSON on standard output.
// Texts are UTF-8, dates day numbers; RawData is shown as its count and first and last samples.
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <charconv>
#include <concepts>
#include <cstdio>
#include <string>

namespace {

class TJson {
public:
    std::string Out;

    void Open(char c) {
        Out += c;
        FFirst = true;
        ++FDepth;
    }
    void Close(char c) {
        --FDepth;
        Newline();
        Out += c;
        FFirst = false;
    }
    void Key(std::string_view key) {
        Item();
        String(key);
        Out += ": ";
    }
    void Item() {
        if (!FFirst) Out += ',';
        FFirst = false;
        Newline();
    }
    void String(std::string_view utf8) {
        Out += '"';
        for (unsigned char c : utf8) {
            if (c == '"' || c == '\\') {
                Out += '\\';
                Out += static_cast<char>(c);
            } else if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                Out += buf;
            } else {
                Out += static_cast<char>(c);
            }
        }
        Out += '"';
    }
    void Text(const std::string& cp1252) { String(Cp1252ToQString(cp1252).toUtf8().toStdString()); }
    void Int(std::int64_t v) { Out += std::to_string(v); }
    // The shortest text of the value in its own width (a Single stays short).
    template <std::floating_point T> void Real(T v) {
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        Out.append(buf, r.ptr);
    }
    template <class T> void Field(std::string_view key, T v) {
        Key(key);
        if constexpr (std::is_floating_point_v<T>)
            Real(v);
        else
            Int(static_cast<std::int64_t>(v));
    }
    void TextField(std::string_view key, const std::string& v) {
        Key(key);
        Text(v);
    }

private:
    bool FFirst = true;
    int FDepth = 0;
    void Newline() {
        Out += '\n';
        Out.append(static_cast<std::size_t>(FDepth) * 2, ' ');
    }
};

std::string GuidText(const TGUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.D1, g.D2, g.D3, g.D4[0],
                  g.D4[1], g.D4[2], g.D4[3], g.D4[4], g.D4[5], g.D4[6], g.D4[7]);
    return buf;
}

void DumpHeader(TJson& j, const TStgHeader& h) {
    j.Open('{');
    j.TextField("FileName", h.FileName);
    j.Field("FileDate", h.FileDate);
    j.Field("FileSize", h.FileSize);
    j.Field("FileFormat", h.FileFormat);
    j.Field("ContentKind", h.ContentKind);
    j.TextField("Title", h.Title);
    j.TextField("Name", h.Name);
    j.TextField("Description", h.Description);
    j.Field("Date", h.Date);
    j.TextField("TrainingType", h.TrainingType);
    j.TextField("Event", h.Event);
    j.TextField("Note", h.Note);
    j.TextField("SourceFileName", h.SourceFileName);
    j.Field("SourceFileDate", h.SourceFileDate);
    j.Field("SourceFileSize", h.SourceFileSize);
    j.Field("SourceFileFormat", h.SourceFileFormat);
    j.Field("SourceContentKind", h.SourceContentKind);
    j.Field("Active", h.Active);
    j.Field("Reserved", h.Reserved);
    j.Field("CurrentStroke", h.CurrentStroke);
    j.Field("Color", h.Color);
    j.Field("PenStyle", h.PenStyle);
    j.Field("PenWidth", h.PenWidth);
    j.Field("Modified", h.Modified);
    j.Field("CurveMode", h.CurveMode);
    j.Field("IntervalIndex", h.IntervalIndex);
    j.Field("SourceProgram", h.SourceProgram);
    j.Field("InterfaceType", h.InterfaceType);
    j.Field("Protocol", h.Protocol);
    j.TextField("DeviceId", h.DeviceId);
    j.Key("Guid");
    j.String(GuidText(h.Guid));
    j.Close('}');
}

void DumpIni(TJson& j, const TStgIni& ini) {
    static constexpr std::array<std::string_view, kStgIniFieldCount> names{
        "Weight",       "Gender",     "Boat",        "Ergometer",  "Sprocket",     "SessionLimit", "LimitIntervals",
        "LimitTime",    "LimitStrokes", "LimitDistance", "LimitEnergy", "StartValue", "StepValue",  "StepRest",
        "IntervalBy",   "WorkValue",  "WorkTime",    "WorkStrokes", "WorkDistance", "WorkEnergy",  "RestValue",
        "RestTime",     "RestStrokes", "RestDistance", "RestEnergy", "Display"};
    j.Open('{');
    for (std::size_t i = 0; i < names.size(); ++i)
        j.Field(names[i], ini.*StgIniFields[i]);
    j.Close('}');
}

void DumpStroke(TJson& j, const TStgStrokeData& s) {
    j.Open('{');
    j.Field("Number", s.Number);
    j.Field("Power", s.Power);
    j.Field("AvgPower", s.AvgPower);
    j.Field("StrokeRate", s.StrokeRate);
    j.Field("TargetPower", s.TargetPower);
    j.Field("Time", s.Time);
    j.Field("Length", s.Length);
    j.Field("Distance", s.Distance);
    j.Field("Est500mTime", s.Est500mTime);
    j.Field("Energy", s.Energy);
    j.Field("EnergySum", s.EnergySum);
    j.Field("Pulse", s.Pulse);
    j.Field("WorkPerPulse", s.WorkPerPulse);
    j.Field("PeakForce", s.PeakForce);
    j.Field("PeakForcePos", s.PeakForcePos);
    j.Field("RelPeakForcePos", s.RelPeakForcePos);
    j.Field("DriveRatio", s.DriveRatio);
    j.Field("K", s.K);
    j.Field("IntervalNumber", s.IntervalNumber);
    j.Field("IntervalCountdown", s.IntervalCountdown);
    j.Field("IntervalPower", s.IntervalPower);
    j.Field("DriveTime", s.DriveTime);
    j.Field("DistancePerStroke", s.DistancePerStroke);
    j.Close('}');
}

void DumpCurve(TJson& j, const TStgForceCurve& c) {
    j.Open('{');
    j.Field("Number", c.Number);
    j.Field("Present", c.Present);
    j.Key("Force");
    j.Out += '[';
    for (std::size_t k = 0; k < c.Force.size(); ++k) {
        if (k) j.Out += ", ";
        j.Int(c.Force[k]);
    }
    j.Out += ']';
    j.Close('}');
}

void DumpInterval(TJson& j, const TStgInterval& i) {
    j.Open('{');
    j.Field("Number", i.Number);
    j.Field("AvgPower", i.AvgPower);
    j.Field("AvgRate", i.AvgRate);
    j.Field("Time", i.Time);
    j.Field("Distance", i.Distance);
    j.Field("AvgPulse", i.AvgPulse);
    j.Key("Curve");
    DumpCurve(j, i.Curve);
    j.Key("Stroke");
    DumpStroke(j, i.Stroke);
    j.Close('}');
}

void DumpRaw(TJson& j, const TStgRawData& r) {
    j.Open('{');
    j.Field("Interval", r.Interval);
    j.Field("HeartRate", r.HeartRate);
    j.Close('}');
}

template <class T, class Dump> void DumpArray(TJson& j, std::string_view key, const std::vector<T>& items, Dump dump) {
    j.Key(key);
    j.Open('[');
    for (const T& item : items) {
        j.Item();
        dump(j, item);
    }
    j.Close(']');
}

std::string Dump(const TTraining& t) {
    TJson j;
    j.Open('{');
    j.Key("Magic");
    j.String(std::string_view(t.Magic.data(), t.Magic.size()));
    j.Field("Version", t.Version);
    j.Key("Header");
    DumpHeader(j, t.Header);
    j.Key("Ini");
    DumpIni(j, t.Ini);
    DumpArray(j, "StrokeData", t.StrokeData, DumpStroke);
    DumpArray(j, "ForceCurves", t.ForceCurves, DumpCurve);
    DumpArray(j, "Intervals", t.Intervals, DumpInterval);
    j.Key("RawData");
    j.Open('{');
    // Element 0 is unused: samples are 1 .. count.
    const std::size_t count = t.RawData.size() > 1 ? t.RawData.size() - 1 : 0;
    j.Field("Count", count);
    if (count > 0) {
        j.Key("First");
        DumpRaw(j, t.RawData[1]);
        j.Key("Last");
        DumpRaw(j, t.RawData.back());
    }
    j.Close('}');
    j.Key("Workout");
    j.Open('{');
    j.Field("Distance", t.Workout.Distance);
    j.Field("Time", t.Workout.Time);
    j.Field("Energy", t.Workout.Energy);
    j.Field("AvgPower", t.Workout.AvgPower);
    j.Close('}');
    j.Close('}');
    j.Out += '\n';
    return j.Out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: training_dump FILE\n");
        return 1;
    }
    const QString fileName = QString::fromLocal8Bit(argv[1]);
    if (!QFileInfo::exists(fileName)) {
        std::fprintf(stderr, "training_dump: %s: no such file\n", argv[1]);
        return 1;
    }
    TTraining training;
    if (!OpenTrainingFile(fileName, training, false)) {
        std::fprintf(stderr, "training_dump: %s: not a readable training file\n", argv[1]);
        return 1;
    }
    const std::string json = Dump(training);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return 0;
}
