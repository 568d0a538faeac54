#include "session/ResultsDialog.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/TrainingFiles.h"
#include "support/EnvOverride.h"
#include "support/FileHelpers.h"
#include "support/TrainingBuilder.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct TStroke {
    float Power, Rate, Est500m, Ratio;
};

TTraining TrainingOf(std::initializer_list<TStroke> strokes) {
    TTraining t;
    SetStrokeCount(t, int(strokes.size()));
    std::size_t i = 1;
    for (const TStroke& s : strokes) {
        TStgStrokeData& d = t.StrokeData[i++];
        d.Power = s.Power;
        d.StrokeRate = s.Rate;
        d.Est500mTime = s.Est500m;
        d.DriveRatio = s.Ratio;
    }
    // The average element must not count.
    t.StrokeData[0] = {0, 999, 0, 99, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 9};
    t.Header.Title = "Morning";
    t.Workout = {2000, 7200, 30.5f, 180};  // m, s, kJ, W
    return t;
}

class ResultsDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureParameterTables(); }
};

} // namespace

TEST_F(ResultsDialog, MaximaAndAverageRatio) {
    const struct {
        const char* What;
        TTraining Training;
        TResultsSummary Expected;
    } cases[] = {
        {"no strokes", TrainingOf({}), {0, 0, false, 0, 0, 0}},
        // A stroke without a ratio is no part of the average.
        {"ties and zeros",
         TrainingOf({{250, 24, 110, 2.0f}, {250, 26, 0, 2.5f}, {0, 20, 0, 0}, {240, 26, 105, 1.5f}}),
         {250, 105.0f / 86400, true, 26, 2.5f, 2.0f}},
        {"only strokes without power", TrainingOf({{0, 20, 0, 1}, {-5, 21, -1, 1}}), {0, 0, false, 21, 1, 1}},
    };
    for (const auto& c : cases) {
        const TResultsSummary s = CalcResultsSummary(c.Training);
        EXPECT_EQ(s.MaxPower, c.Expected.MaxPower) << c.What;
        EXPECT_FLOAT_EQ(s.Min500mTime, c.Expected.Min500mTime) << c.What;
        EXPECT_EQ(s.Has500mTime, c.Expected.Has500mTime) << c.What;
        EXPECT_EQ(s.MaxStrokeRate, c.Expected.MaxStrokeRate) << c.What;
        EXPECT_EQ(s.MaxRatio, c.Expected.MaxRatio) << c.What;
        EXPECT_FLOAT_EQ(s.AvgRatio, c.Expected.AvgRatio) << c.What;
    }
}

TEST_F(ResultsDialog, ValueTexts) {
    TfrmResults dialog;
    dialog.Execute(TrainingOf({{250.4f, 24.25f, 110.5f, 2.0f}, {0, 20, 0, 1.5f}}));
    const std::pair<QLineEdit*, const char*> shown[] = {
        {dialog.edtDistance, "2000 m"},          {dialog.edtTime, "2:00:00.0 m:s"},
        {dialog.edtEnergy, "30 kJ"},             {dialog.edtStrokes, "2"},
        {dialog.edtAvgPower, "250.4 W"},         {dialog.edtAvg500m, "01:50.5 m:s"},
        {dialog.edtAvgStrokerate, "22.1 /min"},  {dialog.edtAvgDriveRecover, "1.75"},
        {dialog.edtMaxPower, "250 W"},           {dialog.edtMax500m, "01:50.5 m:s"},
        {dialog.edtMaxStrokerate, "24.2 /min"},  {dialog.edtMaxDriveRecover, "2.00"},
    };
    for (const auto& [edit, text] : shown) EXPECT_EQ(edit->text(), text) << edit->objectName().toStdString();

    // Without a stroke that has a 500 m time the lowest shows as zero.
    dialog.Execute(TrainingOf({}));
    EXPECT_EQ(dialog.edtMax500m->text(), "00:00.0 m:s");
    EXPECT_EQ(dialog.edtMaxPower->text(), "0 W");
}

TEST_F(ResultsDialog, SettingsOfTheHiddenGroupsAreWrittenBackAsRead) {
    QTemporaryDir dir;
    const QString file = dir.filePath("settings.ini");
    ASSERT_TRUE(WriteAllBytes(file, QByteArray("[Results]\nIntColumns=40 50 -1 \nSplitType=2\nSplitStrokes=9\n"
                                               "SplitFactor=7\n")));
    TfrmResults dialog;
    dialog.LoadSettings(file);
    EXPECT_EQ(dialog.Settings().SplitStrokes, 9);
    EXPECT_EQ(dialog.Settings().SplitCustom, 100);
    dialog.SaveSettings(file);
    EXPECT_EQ(ReadAllBytes(file), QByteArray("[Results]\nIntColumns=40 50 -1\nSplitType=2\nSplitStrokes=9\n"
                                             "SplitFactor=7\nSplitColumns=\nSplitDistance=0\nSplitTime=0\n"
                                             "SplitCustom=100\n"));

    // A file that cannot be written is left alone.
    const QString locked = dir.filePath("locked.ini");
    ASSERT_TRUE(WriteAllBytes(locked, QByteArray("[Results]\n")));
    ::chmod(QFile::encodeName(locked).constData(), 0444);
    dialog.SaveSettings(locked);
    EXPECT_EQ(ReadAllBytes(locked), QByteArray("[Results]\n"));
}

TEST_F(ResultsDialog, QueuedFromInsideAnEventShowsAfterIt) {
    QTemporaryDir home;
    TEnvOverride homeVar("HOME", QFile::encodeName(home.path()));
    TTraining training = TrainingOf({{300, 30, 100, 2}});
    bool shownInside = true;
    bool shownAfter = false;
    QString title;
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        // Inside this "device event" the dialog must not open yet.
        QueueResults(training);
        training.Header.Title = "Changed";  // the dialog has its own copy
        shownInside = ::ResultsDialog()->isVisible();
        QTimer::singleShot(0, &loop, [&] {
            shownAfter = ::ResultsDialog()->isVisible();
            title = ::ResultsDialog()->windowTitle();
            ::ResultsDialog()->accept();
            loop.quit();
        });
    });
    loop.exec();
    EXPECT_FALSE(shownInside);
    EXPECT_TRUE(shownAfter);
    EXPECT_EQ(title, "Results for Morning");
    delete ::ResultsDialog();
}
