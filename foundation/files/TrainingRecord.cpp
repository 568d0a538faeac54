#include "foundation/files/TrainingFiles.h"

#include "foundation/core/AppUtils.h"
#include "foundation/core/DateTimeUtils.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/FileIo.h"
#include "platform/CodePage.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <atomic>

namespace {

// Trainings made since program start; picks the next colour.
std::atomic<std::uint16_t> TrainingColorCounter{0};

// Numbers new elements from `from` up to the end.
void NumberStrokes(std::vector<TStgStrokeData>& strokes, std::size_t from) {
    for (std::size_t i = from; i < strokes.size(); ++i)
        strokes[i].Number = static_cast<Word>(i);
}

void NumberCurves(std::vector<TStgForceCurve>& curves, std::size_t from) {
    for (std::size_t i = from; i < curves.size(); ++i) {
        curves[i].Number = static_cast<Word>(i);
        curves[i].Present = 0;
    }
}

void ResizeStrokes(TTraining& training, std::size_t length) {
    const std::size_t oldStrokes = training.StrokeData.size();
    const std::size_t oldCurves = training.ForceCurves.size();
    training.StrokeData.resize(length);
    training.ForceCurves.resize(length);
    // Element 0 is the average and keeps number 0.
    NumberStrokes(training.StrokeData, std::max<std::size_t>(oldStrokes, 1));
    NumberCurves(training.ForceCurves, std::max<std::size_t>(oldCurves, 1));
}

} // namespace

void InitUserSettings(TStgIni& ini) {
    ini = TStgIni{};
    ini.Weight = 80;
    ini.Sprocket = 1;
    ini.SessionLimit = 2;
    ini.LimitDistance = 0;
    ini.StartValue = 150;
    ini.StepRest = 10;
    ini.IntervalBy = 3;
    ini.WorkTime = 60;
    ini.RestTime = 30;
}

TColor NextTrainingColor() {
    const std::uint16_t counter = TrainingColorCounter.fetch_add(1);
    return ColorValues[counter % kTrainingColorCount];
}

void RestartTrainingColors() {
    TrainingColorCounter = 0;
}

void InitTrainingHeader(TStgHeader& header) {
    header = TStgHeader{};
    header.Title = "Anyone";
    header.Name = "Anyone";
    header.Date = Now();
    header.Color = static_cast<std::int32_t>(NextTrainingColor());
    header.PenStyle = 0;
    header.PenWidth = 2;
    header.Active = 1;
    header.CurveMode = 0;
    header.SourceProgram = kThisSourceProgram;
    header.InterfaceType = 0;
    header.Protocol = kvpUnknown;
    header.Guid = NewGuid();
}

void ResetTraining(TTraining& training) {
    SetStrokeCount(training, 0);
    SetIntervalCount(training, 0);
    training.RawData.clear();
    training.Workout = TStgWorkout{};
    training.Magic = TrainingMagic;
    training.Version = static_cast<std::int32_t>(GetFileVersionInt());
    TStgHeader& h = training.Header;
    h.Modified = 1;
    h.Active = 1;
    h.Date = Now();
    h.CurrentStroke = 0;
    h.FileName = "?";
    h.FileDate = 0;
    h.FileSize = 0;
    h.FileFormat = 0;
    h.ContentKind = kContentKindUser;
    h.InterfaceType = 0;
    h.Protocol = kvpUnknown;
    h.Guid = NewGuid();
    training.Recorded = 0;
}

bool IsEmptyTraining(const TTraining& training) {
    const TStgWorkout& w = training.Workout;
    return training.StrokeData.size() <= 1 && training.ForceCurves.size() <= 1 &&
           training.Intervals.empty() && training.RawData.size() <= 1 && w.Distance == 0.0f &&
           w.Time == 0.0f && w.Energy == 0.0f && w.AvgPower == 0.0f;
}

bool IsUserContent(const TTraining& training) {
    const TStgHeader& h = training.Header;
    return h.ContentKind == kContentKindUser || h.ContentKind == kContentKindManual ||
           h.SourceContentKind == kContentKindUser;
}

bool ConfirmResetTraining(TTraining& training, int reason, bool& wasReset) {
    wasReset = false;
    if (IsEmptyTraining(training)) return true;
    QString text;
    switch (reason) {
    case 0:
        text = QStringLiteral("Changing this value will reset the training session.\n");
        break;
    case 1:
        text = QStringLiteral("Connecting again will reset the current training session.\n");
        break;
    case 2:
        text = QStringLiteral("Resetting the current training session will erase all recorded data.\n");
        break;
    default:
        break;
    }
    text += QStringLiteral("Do you wish to continue?");
    // Yes erases the recorded session: Enter must not.
    if (PromptUser(text, TMsgKind::Confirmation, TMsgButtons::YesNoDefaultNo) != TMsgResult::Yes) return false;
    ResetTraining(training);
    wasReset = true;
    return true;
}

void SetStrokeCount(TTraining& training, int count) {
    if (count == -1) {
        std::size_t last = 0;
        for (std::size_t i = training.StrokeData.size(); i-- > 1;) {
            if (training.StrokeData[i].Time != 0.0f) {
                last = i;
                break;
            }
        }
        ResizeStrokes(training, last + 1);
    } else if (count == 0) {
        training.StrokeData.assign(1, TStgStrokeData{});
        training.ForceCurves.assign(1, TStgForceCurve{});
    } else if (count > 0) {
        ResizeStrokes(training, static_cast<std::size_t>(count) + 1);
    }
    // Other negative counts mean nothing: the arrays stay as they are.
}

void SetIntervalCount(TTraining& training, int count) {
    if (count == 0) {
        training.Intervals.clear();
        return;
    }
    if (count < 0 || static_cast<std::size_t>(count) <= training.Intervals.size()) return;
    const std::size_t old = training.Intervals.size();
    training.Intervals.resize(static_cast<std::size_t>(count));
    for (std::size_t i = old; i < training.Intervals.size(); ++i)
        training.Intervals[i].Number = static_cast<Word>(i + 1);
}

void RoundStroke(const TStgStrokeData& source, TStgStrokeData& dest) {
    dest = source;
    for (float* whole :
         {&dest.Power, &dest.AvgPower, &dest.StrokeRate, &dest.TargetPower, &dest.Length, &dest.Energy,
          &dest.Pulse, &dest.PeakForce, &dest.PeakForcePos, &dest.RelPeakForcePos})
        *whole = RoundSingle(*whole);
    for (float* eighths : {&dest.Time, &dest.Distance, &dest.Est500mTime, &dest.EnergySum, &dest.WorkPerPulse,
                           &dest.DriveRatio, &dest.K, &dest.DriveTime, &dest.DistancePerStroke})
        *eighths = RoundToEighth(*eighths);
}

void RoundBlockToEighths(const TStgWorkout& source, TStgWorkout& dest) {
    dest.Distance = RoundToEighth(source.Distance);
    dest.Time = RoundToEighth(source.Time);
    dest.Energy = RoundToEighth(source.Energy);
    dest.AvgPower = RoundToEighth(source.AvgPower);
}

QString FormatHeaderText(const std::string& text) {
    return text.empty() ? QStringLiteral("-") : Cp1252ToQString(text);
}

bool IsHeaderDate(TDateTime date) { return date >= 1.0 && date < kHeaderDateEnd; }

QString FormatHeaderDate(TDateTime date) {
    if (!IsHeaderDate(date)) return QStringLiteral("-");
    const QDateTime dt = DateTimeToQDateTime(date);
    const QLocale locale = QLocale::system();
    QString text = locale.toString(dt.date(), QLocale::ShortFormat);
    if (dt.time().msecsSinceStartOfDay() != 0)
        text += QLatin1Char(' ') + locale.toString(dt.time(), LocaleLongTimeFormat());
    return text;
}

QString FormatFileSize(const QString& fileName, std::int32_t storedSize) {
    qint64 size = fileName.isEmpty() ? 0 : GetFileSizeByName(fileName);
    if (size <= 0) size = storedSize;
    return size >= 1 ? QStringLiteral("%1 bytes").arg(size) : QStringLiteral("-");
}

QString FormatFileKind(std::uint8_t kind, std::uint8_t format) {
    if (kind == 0) return QStringLiteral("-");
    return QStringLiteral("%1 (%2)").arg(TableText(ContentKindNames, kind),
                                         TableText(FileFormatNames, format));
}
