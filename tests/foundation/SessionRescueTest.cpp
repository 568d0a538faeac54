// A session kept when the program ends unasked: unique names, the file reads back, the note for
// the next start is given once.
#include "foundation/recording/SessionRescue.h"

#include "foundation/files/TrainingFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(SessionRescue, KeptUnderUniqueNamesAndNotedOnce) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path() + QLatin1Char('/');
    const QString settings = folder + QStringLiteral("kvwt.ini");
    TTraining t;
    LoadDefaultTraining(t);
    ResetTraining(t);
    SetStrokeCount(t, 2);
    t.StrokeData[2].Time = 5;
    t.Workout.Distance = 12.5f;

    QString first, second;
    ASSERT_TRUE(RescueSession(t, folder, settings, first));
    ASSERT_TRUE(RescueSession(t, folder, settings, second));
    EXPECT_TRUE(first.startsWith(folder + "Session ")) << first.toStdString();
    EXPECT_NE(first, second);
    const QDateTime when = QDateTime::fromString("2026-01-02 03:04:05", "yyyy-MM-dd hh:mm:ss");
    QFile(folder + "Session 2026-01-02 03-04-05.stg").open(QIODevice::WriteOnly);
    EXPECT_EQ(RescueFileName(folder, when), folder + "Session 2026-01-02 03-04-05 (2).stg");

    TTraining read;
    ASSERT_TRUE(ReadStgFile(second, read));
    EXPECT_EQ(read.StrokeData[2].Time, 5.0f);
    EXPECT_EQ(read.Workout.Distance, 12.5f);

    const QString notice = TakeRescueNotice(settings);
    EXPECT_TRUE(notice.contains("\"" + second + "\"")) << notice.toStdString();
    EXPECT_TRUE(TakeRescueNotice(settings).isEmpty());
}
