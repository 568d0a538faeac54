#include "support/QtPrinters.h"
#include "support/FileHelpers.h"
#include "foundation/core/AppUtils.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "platform/IniFiles.h"
#include "widgets/UiUtils.h"
#include "shell/StatusPanels.h"
#include "shell/AboutWindow.h"
#include "shell/SingleInstance.h"
#include "shell/MainWindow.h"
#include "shell/MessageWindow.h"
#include "shell/SplashWindow.h"

#include <QApplication>
#include <QPointer>
#include <QProgressBar>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <QDropEvent>
#include <stdexcept>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A fresh home for every test: the settings file lives in its documents folder.
class MainTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QByteArray oldHome = qgetenv("HOME");
    QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");

    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
        SplashDisplayTimeOverride = 0;
        MessageBoxHook = nullptr;
    }
    void TearDown() override
    {
        MessageBoxHook = nullptr;
        SplashDisplayTimeOverride = -1;
        qputenv("HOME", oldHome);
        if (oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldConfig);
    }
    QString Ini() const { return GetUserIniFileName(true); }
    QString Text() const { return QString::fromUtf8(ReadAllBytes(Ini())); }

    // Runs the event loop until the start-up sequence is over.
    static void FinishStartup(TfrmMain& form)
    {
        for (int i = 0; i < 200 && !form.StartupDone; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
};

// Lines of a file; blank lines kept as empty strings.
QStringList Lines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

void ExpectSectionSpacing(const QString& text)
{
    const QStringList lines = Lines(text);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].startsWith(QLatin1Char('[')));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1Char('['))) {
            EXPECT_TRUE(lines[i - 1].isEmpty()) << "no blank line before " << lines[i].toStdString();
            EXPECT_TRUE(i < 2 || !lines[i - 2].isEmpty()) << "two blank lines before " << lines[i].toStdString();
        } else if (lines[i].isEmpty()) {
            EXPECT_TRUE(i + 1 < lines.size() && lines[i + 1].startsWith(QLatin1Char('[')))
                << "stray blank line " << i;
        }
    }
}

}  // namespace

TEST_F(MainTest, SettingsFileAfterARun)
{
    {
        TfrmMain form;
        form.RecentFiles = {QStringLiteral("/data/b.stg"), QStringLiteral("/data/a.stg")};
        form.LastDir = QStringLiteral("/data");
    }
    const QString text = Text();
    ExpectSectionSpacing(text);
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Recent]\n1=/data/b.stg\n2=/data/a.stg\n\n[Options]\nLastDir=/data\n\n"
                                                "[Statistics]\nRunningTime=")))
        << text.toStdString();
    for (const char* section : {"[Position]", "[StrokeData]", "[View]", "[Toolbars]"})
        EXPECT_TRUE(text.contains(QLatin1String(section))) << section;
    TIniFile ini(Ini());
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("Statistics"), QStringLiteral("TimesStarted"), 0), 1);
    // The first start is maximised.
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("Position"), QStringLiteral("Width"), 0), -1);
}

TEST_F(MainTest, ShrunkRecentListStaysShrunk)
{
    QByteArray recent = "[Recent]\n";
    for (int i = 1; i <= 8; ++i)
        recent += QByteArray::number(i) + "=/r/" + QByteArray::number(i) + ".stg\n";
    ASSERT_TRUE(WriteAllBytes(Ini(), recent + "\n\n[Other]\nkeep=1\n\n\n"));
    {
        TfrmMain form;
        ASSERT_EQ(form.RecentFiles.size(), 8);
        EXPECT_EQ(form.RecentFiles[7], QStringLiteral("/r/8.stg"));
        form.RecentFiles = form.RecentFiles.mid(0, 6);
    }
    TIniFile ini(Ini());
    QStringList keys;
    ini.ReadSection(QStringLiteral("Recent"), keys);
    EXPECT_EQ(keys, QStringList({"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Other"), QStringLiteral("keep"), QString()), QStringLiteral("1"));
    ExpectSectionSpacing(Text());
    TfrmMain again;
    EXPECT_EQ(again.RecentFiles.size(), 6);
}

TEST_F(MainTest, StatisticsAddUpOverTwoRunsWithEitherSeparator)
{
    ASSERT_TRUE(WriteAllBytes(Ini(), "[Statistics]\nRunningTime=0,5\nTimesStarted=4\nRowingTime=0.25\n"
                                     "RowingSessions=3\nFilesOpened=7\nFilesSaved=2\n"));
    {
        TfrmMain form;
        EXPECT_DOUBLE_EQ(form.RunningTime, 0.5);
        EXPECT_DOUBLE_EQ(form.RowingTime, 0.25);
        EXPECT_EQ(form.TimesStarted, 5);
        form.StartTime = QDateTime::currentDateTime().addSecs(-6 * 3600);  // a run of six hours
        form.RowingSessions += 1;
        form.RowingTime += 0.125;
    }
    {
        TIniFile ini(Ini());
        const QString running = ini.ReadString(QStringLiteral("Statistics"), QStringLiteral("RunningTime"), QString());
        EXPECT_FALSE(running.contains(QLatin1Char(',')));
        EXPECT_NEAR(running.toDouble(), 0.75, 60.0 / 86400);
        EXPECT_EQ(ini.ReadString(QStringLiteral("Statistics"), QStringLiteral("RowingTime"), QString()),
                  QStringLiteral("0.375"));
    }
    {
        TfrmMain form;
        EXPECT_EQ(form.TimesStarted, 6);
        EXPECT_EQ(form.RowingSessions, 4);
        EXPECT_EQ(form.FilesOpened, 7);
        EXPECT_EQ(form.FilesSaved, 2);
        EXPECT_NEAR(form.RunningTime, 0.75, 60.0 / 86400);
    }
    // A value that is no number counts from zero again instead of stopping the program.
    ASSERT_TRUE(WriteAllBytes(Ini(), "[Statistics]\nRunningTime=lots\nRowingTime=-3\n"));
    TfrmMain form;
    EXPECT_EQ(form.RunningTime, 0.0);
    EXPECT_EQ(form.RowingTime, 0.0);
}

TEST_F(MainTest, StrokeDataAxesRoundTrip)
{
    ASSERT_TRUE(WriteAllBytes(Ini(), "[StrokeData]\nParameter1=1 0,5 40 2,5\n"));
    {
        TfrmMain form;
        ASSERT_GT(StrokeParameters.size(), 2u);
        EXPECT_EQ(StrokeParameters[1].AxisMode, 1);
        EXPECT_DOUBLE_EQ(StrokeParameters[1].AxisMin, 0.5);
        EXPECT_DOUBLE_EQ(StrokeParameters[1].AxisMax, 40);
        EXPECT_DOUBLE_EQ(StrokeParameters[1].AxisIncrement, 2.5);
        StrokeParameters[2].AxisMax = StrokeParameters[2].AxisMin + 7;
    }
    const double max2 = StrokeParameters[2].AxisMax;
    TIniFile ini(Ini());
    EXPECT_EQ(ini.ReadString(QStringLiteral("StrokeData"), QStringLiteral("Parameter1"), QString()),
              QStringLiteral("1 0.5 40 2.5"));
    TfrmMain again;
    EXPECT_DOUBLE_EQ(StrokeParameters[2].AxisMax, max2);
}

TEST_F(MainTest, DecliningTheExitQuestionKeepsTheProgramRunning)
{
    TfrmMain form;
    QStringList asked;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    MessageBoxHook = [&](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons buttons) {
        asked << text;
        EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);
        return answer;
    };
    form.show();
    FinishStartup(form);
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.Exiting);
    EXPECT_NE(form.WallPaper, nullptr);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], QStringLiteral("This will exit Rowing ergometer training. Are you sure?"));

    answer = QMessageBox::Ok;
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(form.Exiting);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MainTest, StoredBoundsRestoreOnAScreen)
{
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QSize normal(800, 600);
    EXPECT_EQ(SensibleBounds(QRect(100, 50, 900, 700), screens, normal), QRect(100, 50, 900, 700));
    EXPECT_EQ(SensibleBounds(QRect(2000, 100, 600, 400), screens, normal), QRect(2000, 100, 600, 400));
    // Off every screen, minimised (all 0) or too small to grab: centred on the first screen.
    EXPECT_EQ(SensibleBounds(QRect(-5000, -5000, 800, 600), screens, normal), QRect(560, 240, 800, 600));
    EXPECT_EQ(SensibleBounds(QRect(0, 0, 0, 0), screens, normal), QRect(560, 240, 800, 600));
    EXPECT_EQ(SensibleBounds(QRect(1900, 1070, 800, 600), screens, normal), QRect(560, 240, 800, 600));
    EXPECT_EQ(SensibleBounds(QRect(0, 0, 0, 0), {QRect(0, 0, 640, 480)}, normal), QRect(0, 0, 640, 480));

    ASSERT_TRUE(WriteAllBytes(Ini(), "[Position]\nLeft=0\nTop=0\nWidth=0\nHeight=0\n"));
    TfrmMain form;
    EXPECT_FALSE(form.windowState() & Qt::WindowMinimized);
    EXPECT_EQ(form.size(), QSize(800, 600));
}

TEST_F(MainTest, HandEditedExtremesInPositionAndStatistics)
{
    // Values at the ends of the integer range: no overflow, a window on a screen, counters that
    // can still count.
    ASSERT_TRUE(WriteAllBytes(Ini(), "[Statistics]\nTimesStarted=2147483647\nFilesOpened=-7\n"
                                     "[Position]\nLeft=2147483647\nTop=100\nWidth=2147483647\nHeight=-2147483648\n"));
    TfrmMain form;
    EXPECT_GT(form.TimesStarted, 0);
    EXPECT_LT(form.TimesStarted, 2147483647);
    EXPECT_EQ(form.FilesOpened, 0);
    EXPECT_FALSE(form.windowState() & Qt::WindowMinimized);
    EXPECT_EQ(form.size(), QSize(800, 600));
    form.FilesOpened += 1000;  // the registry counts on from what was read
    EXPECT_EQ(form.FilesOpened, 1000);
}

TEST_F(MainTest, AFileThatFailsToOpenOnDropIsReported)
{
    struct TDropTarget : TfrmMain {
        using TfrmMain::dropEvent;
    } form;
    form.ConfirmExit = false;
    QStringList tried;
    form.OnOpenFile = [&](const QString& name) -> bool {
        tried << name;
        throw std::runtime_error("broken record");
    };
    QStringList messages;
    MessageBoxHook = [&](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
        messages << text;
        return QMessageBox::Ok;
    };
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/x/a.stg")), QUrl::fromLocalFile(QStringLiteral("/x/b.stg"))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    form.dropEvent(&drop);
    EXPECT_NO_THROW(QCoreApplication::processEvents());
    // Both files were tried, each failure was said, and the program goes on.
    EXPECT_EQ(tried, QStringList({"/x/a.stg", "/x/b.stg"}));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("/x/a.stg")));
    EXPECT_TRUE(messages[0].contains(QStringLiteral("broken record")));
}

TEST_F(MainTest, HandOverDuringTheSplashWaitsForItsEnd)
{
    TfrmMain form;
    QStringList opened;
    form.OnOpenFile = [&](const QString& name) {
        opened << name;
        return true;
    };
    form.StartFiles = {QStringLiteral("/own/start.stg")};
    qsizetype openedDuringSplash = -1;
    bool splashStillThere = false;
    SplashDisplayTimeOverride = 50;
    form.show();
    // Runs inside the splash's own loop.
    QTimer::singleShot(0, &form, [&] {
        splashStillThere = CurrentSplash() != nullptr && form.StartupRunning();
        InstanceText = QStringLiteral("/x/a.stg\r\n\r\n/x/b.stg\r\n/x/cut");
        form.OtherInstance();
        openedDuringSplash = opened.size();
    });
    FinishStartup(form);
    EXPECT_TRUE(splashStillThere);
    EXPECT_EQ(openedDuringSplash, 0);
    EXPECT_EQ(opened, QStringList({"/own/start.stg", "/x/a.stg", "/x/b.stg"}));
    EXPECT_EQ(CurrentSplash(), nullptr);
    form.ConfirmExit = false;
}

TEST(InstanceText, JoiningAndSplitting)
{
    EXPECT_EQ(GetCommandLineText({}), QStringLiteral("\r\n"));
    EXPECT_EQ(GetCommandLineText({"a", "b"}), QStringLiteral("a\r\nb\r\n"));
    // No cap: long parameters travel whole.
    const QString longName(240, QLatin1Char('x'));
    const QString second(20, QLatin1Char('y'));
    EXPECT_EQ(GetCommandLineText({longName, second}), longName + "\r\n" + second + "\r\n");
    EXPECT_EQ(CountLines(QStringLiteral("a\r\nb\r\nc")), 2);
    EXPECT_EQ(CountLines(QStringLiteral("\r\n")), 1);
    EXPECT_EQ(InstanceLines(QStringLiteral("a\r\n\r\nb\r\nc")), QStringList({"a", "b"}));
    EXPECT_TRUE(InstanceLines(QStringLiteral("\r\n")).isEmpty());
}

TEST(AboutBox, FormatDuration)
{
    EXPECT_EQ(FormatDuration(1.5), QStringLiteral("1 days, 12:00:00"));
    EXPECT_EQ(FormatDuration(0.25), QStringLiteral("06:00:00"));
    EXPECT_EQ(FormatDuration(0), QStringLiteral("?"));
    EXPECT_EQ(FormatDuration(-1), QStringLiteral("?"));
    EXPECT_EQ(FormatDuration(65536), QStringLiteral("?"));
    EXPECT_EQ(FormatDuration(65535.5), QStringLiteral("65535 days, 12:00:00"));
    EXPECT_EQ(FormatDuration(3725.0 / 86400), QStringLiteral("01:02:05"));
    // Half a second short of a day rounds up into the next day, never to "24:00:00".
    EXPECT_EQ(FormatDuration(2 - 0.4 / 86400), QStringLiteral("2 days, 00:00:00"));
}

TEST(AboutBox, AddGridRow)
{
    QTableWidget grid(0, 2);
    AddGridRow(QStringLiteral("a"), QStringLiteral("1"), &grid);
    ASSERT_EQ(grid.rowCount(), 1);
    AddGridRow(QStringLiteral("b"), QStringLiteral("2"), &grid);
    ASSERT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.item(1, 0)->text(), QStringLiteral("b"));
    EXPECT_EQ(grid.item(1, 1)->text(), QStringLiteral("2"));
    // A last row with an empty name is filled instead of a new one being added.
    grid.setRowCount(3);
    AddGridRow(QStringLiteral("c"), QStringLiteral("3"), &grid);
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.item(2, 0)->text(), QStringLiteral("c"));
    AddGridRow(QString(), QStringLiteral("4"), nullptr);  // no grid: nothing happens
}

TEST(AboutBox, LinksOfTheVersionRows)
{
    TfrmAbout about;
    QStringList opened;
    about.OnOpenDocument = [&](const QString& link) {
        opened << link;
        return true;
    };
    about.stgVersion->setRowCount(0);
    AddGridRow(QStringLiteral("Email"), QStringLiteral("crew@example.org"), about.stgVersion);
    AddGridRow(QStringLiteral("Website"), QStringLiteral("example.org"), about.stgVersion);
    AddGridRow(QStringLiteral("DevelopedBy"), QStringLiteral("dev.example.org"), about.stgVersion);
    AddGridRow(QStringLiteral("CompanyName"), QStringLiteral("Kavelo"), about.stgVersion);
    AddGridRow(QStringLiteral("Email"), QString(), about.stgVersion);
    EXPECT_TRUE(about.stgVersionDblClick(0));
    EXPECT_TRUE(about.stgVersionDblClick(1));
    EXPECT_TRUE(about.stgVersionDblClick(2));
    EXPECT_FALSE(about.stgVersionDblClick(3));
    EXPECT_FALSE(about.stgVersionDblClick(4));
    EXPECT_FALSE(about.stgVersionDblClick(9));
    EXPECT_EQ(opened, QStringList({"mailto:crew@example.org", "http://example.org", "http://dev.example.org"}));
    // The version block of this program has no website: the panel opens nothing.
    about.pnlWebsiteClick();
    EXPECT_EQ(opened.size(), 3);
}

TEST(MessageWindow, EscClosesIt)
{
    EXPECT_FALSE(MessageWindowVisible());
    ShowMessageWindow(QStringLiteral("Searching for the ergometer ..."));
    ASSERT_TRUE(MessageWindowVisible());
    TfrmMessage* w = CurrentMessageWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->lblText->text(), QStringLiteral("Searching for the ergometer ..."));
    ShowMessageWindow(QStringLiteral("Still searching"));
    EXPECT_EQ(CurrentMessageWindow(), w);  // one window, reused
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_FALSE(MessageWindowVisible());
    EXPECT_EQ(CurrentMessageWindow(), nullptr);
    CloseMessageWindow();  // nothing left to close
    ShowMessageWindow(QStringLiteral("Again"));
    EXPECT_TRUE(MessageWindowVisible());
    CloseMessageWindow();
    EXPECT_FALSE(MessageWindowVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(MessageWindow, ClosingItsFrameClosesItForGood)
{
    // The window's own close button, not Esc: the window goes and the waiting code sees it gone.
    ShowMessageWindow(QStringLiteral("Searching for the ergometer ..."));
    QPointer<TfrmMessage> w = CurrentMessageWindow();
    ASSERT_NE(w, nullptr);
    w->close();
    EXPECT_FALSE(MessageWindowVisible());
    EXPECT_EQ(CurrentMessageWindow(), nullptr);
    ASSERT_FALSE(w.isNull());
    EXPECT_FALSE(w->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
}

TEST(Splash, ProgressSteps)
{
    ShowSplash(nullptr, QApplication::font(), Qt::white, 0);
    TfrmSplash* splash = CurrentSplash();
    ASSERT_NE(splash, nullptr);
    StepProgress(QStringLiteral("first"));
    EXPECT_EQ(splash->pbrParam->value(), 0);  // maximum 0: only the text changes
    EXPECT_EQ(splash->pnlText->text(), QStringLiteral("first"));
    ShowSplash(nullptr, QApplication::font(), Qt::white, 2);
    splash = CurrentSplash();
    for (const char* text : {"a", "b", "c"})
        StepProgress(QString::fromLatin1(text));
    EXPECT_EQ(splash->pbrParam->value(), 2);
    EXPECT_EQ(splash->pnlText->text(), QStringLiteral("c"));
    HideSplash();
    EXPECT_EQ(CurrentSplash(), nullptr);
    StepProgress(QStringLiteral("none"));  // no splash: nothing happens
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(Shutdown, RunsOnlyWhenRequested)
{
    QString program;
    QStringList arguments;
    const auto saved = ShutdownCommand;
    ShutdownCommand = [&](const QString& p, const QStringList& a) {
        program = p;
        arguments = a;
        return true;
    };
    ShutdownRequested = false;
    EXPECT_FALSE(RunShutdownRequest());
    EXPECT_TRUE(program.isEmpty());
    ShutdownRequested = true;
    EXPECT_TRUE(RunShutdownRequest());
    EXPECT_EQ(program, QStringLiteral("shutdown"));
    EXPECT_EQ(arguments, QStringList({"-h", "+1", "Done rowing. Shutdown initiated by Rowing ergometer training."}));
    ShutdownRequested = false;
    ShutdownCommand = saved;
}

TEST(StartSwitches, OnlyASingleSwitchEndsTheProgram)
{
    const std::array<bool, 8> flags{};
    EXPECT_EQ(HandleStartSwitches({}, flags), -1);
    EXPECT_EQ(HandleStartSwitches({"-X", "file.stg"}, flags), -1);
    EXPECT_EQ(HandleStartSwitches({"file.stg"}, flags), -1);
    EXPECT_EQ(HandleStartSwitches({"/tmp/X"}, flags), -1);  // a path is never a switch
}

TEST_F(MainTest, UnattendedCloseRunsItsHookAsksNothingAndEndsModalLoops)
{
    int questions = 0;
    MessageBoxHook = [&](QMessageBox::Icon icon, const QString&, QMessageBox::StandardButtons) {
        if (icon == QMessageBox::Question)
            ++questions;
        return QMessageBox::Cancel;  // a user who would keep the program running
    };
    TfrmMain form;
    form.show();
    FinishStartup(form);
    std::vector<std::string> steps;
    form.OnUnattendedClose = [&] {
        steps.push_back(form.isVisible() ? "hook while shown" : "hook after the close");
    };
    // Ended while a modal loop runs (here: one the test opens, as a dialog would).
    QTimer::singleShot(0, &form, [&] {
        QTimer::singleShot(0, &form, [&] { form.CloseUnattended(); });
        QEventLoop modal;
        modal.exec();
        steps.push_back("modal loop ended");
    });
    QCoreApplication::exec();  // left by the unattended close
    EXPECT_EQ(steps, (std::vector<std::string>{"hook while shown", "modal loop ended"}));
    EXPECT_EQ(questions, 0);
    EXPECT_TRUE(form.Exiting);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.ClosingUnattended());
}

TEST_F(MainTest, RecentListAndLastFolderKeepGreekChineseAndLongPathsWhole)
{
    const QString folder = home.filePath(QString::fromUtf8("Κωπηλασία 划船训练/") + QString::fromUtf8("训练").repeated(60));
    const QString file = folder + QString::fromUtf8("/Πρωί 早上.stg");
    ASSERT_GT(file.toUtf8().size(), 300);
    {
        TfrmMain form;
        form.RecentFiles = {file, QStringLiteral("/plain/one.stg")};
        form.LastDir = folder + QLatin1Char('/');
    }
    TfrmMain again;
    EXPECT_EQ(again.RecentFiles, QStringList({file, QStringLiteral("/plain/one.stg")}));
    EXPECT_EQ(again.LastDir, folder + QLatin1Char('/'));
}

TEST_F(MainTest, UpdateAddressIsEmptyUntilTheSettingsGiveOne)
{
    {
        TfrmMain form;
        EXPECT_TRUE(form.UpdateAddress.isEmpty());
    }
    {
        TIniFile ini(Ini());
        ini.WriteString(QStringLiteral("Options"), QStringLiteral("UpdateAddress"),
                        QStringLiteral(" http://kavelo.invalid/update.txt "));
        ASSERT_TRUE(ini.UpdateFile());
    }
    TfrmMain again;
    EXPECT_EQ(again.UpdateAddress, QStringLiteral("http://kavelo.invalid/update.txt"));
}
