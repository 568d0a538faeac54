#include "support/EnvOverride.h"
#include "support/FileHelpers.h"
#include "support/MainWindowHome.h"
#include "support/MessageBoxes.h"
#include "support/QtPrinters.h"
#include "support/UiInput.h"
#include "foundation/core/AppUtils.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "platform/FileNames.h"
#include "platform/IniFiles.h"
#include "widgets/UiUtils.h"
#include "shell/StatusPanels.h"
#include "shell/AboutWindow.h"
#include "shell/SingleInstance.h"
#include "shell/MainWindow.h"
#include "shell/MessageWindow.h"
#include "shell/SplashWindow.h"
#include "session/NewSessionDialog.h"
#include "session/ResultsDialog.h"
#include "session/TrainingWindow.h"
#include "shell/ChartOptionsDialog.h"
#include "shell/SelectColumnsDialog.h"

#include <QApplication>
#include <QLocalSocket>
#include <QPointer>
#include <QSignalSpy>
#include <QProgressBar>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A fresh home for every test: the settings file lives in its documents folder.
class MainTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    TEnvOverride homeVar{"HOME", QFile::encodeName(home.path())};
    TEnvOverride configVar{"XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config")))};

    void SetUp() override { SplashDisplayTimeOverride = 0; }
    void TearDown() override
    {
        MessageBoxHook = nullptr;
        SplashDisplayTimeOverride = -1;
    }
    QString Ini() const { return GetUserIniFileName(true); }
    QString Text() const { return QString::fromUtf8(ReadAllBytes(Ini())); }
};

// One blank line before each section after the first, and nowhere else.
void ExpectSectionSpacing(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
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
        EXPECT_TRUE(form.UpdateAddress.isEmpty());
    }
    const QString text = Text();
    ExpectSectionSpacing(text);
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Recent]\n1=/data/b.stg\n2=/data/a.stg\n\n[Options]\nLastDir=/data\n\n"
                                                "[Statistics]\nRunningTime=")))
        << text.toStdString();
    for (const char* section : {"[Position]", "[StrokeData]", "[View]", "[Toolbars]"})
        EXPECT_TRUE(text.contains(QLatin1String(section))) << section;
    {
        TIniFile ini(Ini());
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("Statistics"), QStringLiteral("TimesStarted"), 0), 1);
        // The first start is maximised.
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("Position"), QStringLiteral("Width"), 0), -1);
        ini.WriteString(QStringLiteral("Options"), QStringLiteral("UpdateAddress"),
                        QStringLiteral(" http://kavelo.invalid/update.txt "));
        ASSERT_TRUE(ini.UpdateFile());
    }
    // No update address until the settings give one.
    TfrmMain again;
    EXPECT_EQ(again.UpdateAddress, QStringLiteral("http://kavelo.invalid/update.txt"));
}

// The list shrinks for good, and Greek, Chinese and long paths come back whole.
TEST_F(MainTest, RecentListAndLastFolderRoundTrip)
{
    QByteArray recent = "[Recent]\n";
    for (int i = 1; i <= 8; ++i)
        recent += QByteArray::number(i) + "=/r/" + QByteArray::number(i) + ".stg\n";
    ASSERT_TRUE(WriteAllBytes(Ini(), recent + "\n\n[Other]\nkeep=1\n\n\n"));
    const QString folder = home.filePath(QString::fromUtf8("Κωπηλασία 划船训练/") + QString::fromUtf8("训练").repeated(60));
    const QString file = folder + QString::fromUtf8("/Πρωί 早上.stg");
    ASSERT_GT(file.toUtf8().size(), 300);
    {
        TfrmMain form;
        ASSERT_EQ(form.RecentFiles.size(), 8);
        EXPECT_EQ(form.RecentFiles[7], QStringLiteral("/r/8.stg"));
        form.RecentFiles = {file, QStringLiteral("/plain/one.stg")};
        form.LastDir = folder + QLatin1Char('/');
    }
    TIniFile ini(Ini());
    QStringList keys;
    ini.ReadSection(QStringLiteral("Recent"), keys);
    EXPECT_EQ(keys, QStringList({"1", "2"}));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Other"), QStringLiteral("keep"), QString()), QStringLiteral("1"));
    ExpectSectionSpacing(Text());
    TfrmMain again;
    EXPECT_EQ(again.RecentFiles, QStringList({file, QStringLiteral("/plain/one.stg")}));
    EXPECT_EQ(again.LastDir, folder + QLatin1Char('/'));
}

// Counters and chart axes come back after a run; a decimal comma is read, a point written.
TEST_F(MainTest, StatisticsAndAxesAddUpOverTwoRunsWithEitherSeparator)
{
    ASSERT_TRUE(WriteAllBytes(Ini(), "[Statistics]\nRunningTime=0,5\nTimesStarted=4\nRowingTime=0.25\n"
                                     "RowingSessions=3\nFilesOpened=7\nFilesSaved=2\n"
                                     "[StrokeData]\nParameter1=1 0,5 40 2,5\n"));
    {
        TfrmMain form;
        EXPECT_DOUBLE_EQ(form.RunningTime, 0.5);
        EXPECT_DOUBLE_EQ(form.RowingTime, 0.25);
        EXPECT_EQ(form.TimesStarted, 5);
        ASSERT_GT(StrokeParameters.size(), 2u);
        const auto& p = StrokeParameters[1];
        EXPECT_EQ((std::vector<double>{double(p.AxisMode), p.AxisMin, p.AxisMax, p.AxisIncrement}),
                  (std::vector<double>{1, 0.5, 40, 2.5}));
        StrokeParameters[2].AxisMax = StrokeParameters[2].AxisMin + 7;
        form.StartTime = QDateTime::currentDateTime().addSecs(-6 * 3600);  // a run of six hours
        form.RowingSessions += 1;
        form.RowingTime += 0.125;
    }
    const double max2 = StrokeParameters[2].AxisMax;
    {
        TIniFile ini(Ini());
        const QString running = ini.ReadString(QStringLiteral("Statistics"), QStringLiteral("RunningTime"), QString());
        EXPECT_FALSE(running.contains(QLatin1Char(',')));
        EXPECT_NEAR(running.toDouble(), 0.75, 60.0 / 86400);
        EXPECT_EQ(ini.ReadString(QStringLiteral("Statistics"), QStringLiteral("RowingTime"), QString()),
                  QStringLiteral("0.375"));
        EXPECT_EQ(ini.ReadString(QStringLiteral("StrokeData"), QStringLiteral("Parameter1"), QString()),
                  QStringLiteral("1 0.5 40 2.5"));
    }
    {
        TfrmMain form;
        EXPECT_EQ(form.TimesStarted, 6);
        EXPECT_EQ(form.RowingSessions, 4);
        EXPECT_EQ(form.FilesOpened, 7);
        EXPECT_DOUBLE_EQ(StrokeParameters[2].AxisMax, max2);
    }
    // A value that is no number counts from zero again instead of stopping the program.
    ASSERT_TRUE(WriteAllBytes(Ini(), "[Statistics]\nRunningTime=lots\nRowingTime=-3\n"));
    TfrmMain form;
    EXPECT_EQ(form.RunningTime, 0.0);
    EXPECT_EQ(form.RowingTime, 0.0);
}

// [Row] DataRange: how many strokes before the last one the row window's live chart shows. It
// stays in the file through the program's own saves.
TEST_F(MainTest, DataRangeFromTheSettingsFile)
{
    const int saved = RollingCount;
    const struct {
        QByteArray Text;
        int Before;
        int Expected;
    } cases[] = {
        {"[Row]\nDataRange=600\nLeftChart=1\n", 65535, 600},
        {"[Row]\nDataRange=2\n", 65535, 5},  // fewer than 5 are 5
        {"[Row]\nLeftChart=1\n", 1234, 1234},  // no key: as it was
        // One short of the limit, so that the stroke one past it can still be counted.
        {"[Row]\nDataRange=2147483647\n", 65535, 2147483646},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteAllBytes(Ini(), c.Text));
        RollingCount = c.Before;
        {
            TfrmMain form;
            EXPECT_EQ(RollingCount, c.Expected) << c.Text.constData();
        }
        const QByteArray key = c.Text.mid(6, c.Text.indexOf('\n', 6) - 6);
        EXPECT_TRUE(ReadAllBytes(Ini()).contains("[Row]\n" + key + "\n")) << key.constData();
    }
    RollingCount = saved;
}

// The welcome page's action runs at the first show while [General] Welcome is below the
// program's version.
TEST_F(MainTest, WelcomeRunsBelowTheProgramsVersion)
{
    const std::int64_t version = GetFileVersionInt();
    const std::pair<QByteArray, int> cases[] = {
        {QByteArray(), 1},
        {"[General]\nWelcome=" + QByteArray::number(version - 1) + "\n", 1},
        {"[General]\nWelcome=" + QByteArray::number(version) + "\n", 0},
        {"[General]\nWelcome=" + QByteArray::number(version + 1) + "\n", 0},
    };
    for (const auto& [text, runs] : cases) {
        if (!text.isEmpty()) {
            ASSERT_TRUE(WriteAllBytes(Ini(), text));
        }
        TfrmMain form;
        QSignalSpy welcome(form.HelpWelcome, &QAction::triggered);
        form.show();
        FinishStartup(form);
        EXPECT_EQ(welcome.count(), runs) << text.constData();
        form.ConfirmExit = false;
        form.close();
    }
}

// A double click on the version panel shows the plain About box, elsewhere on the bar nothing.
TEST_F(MainTest, VersionPanelDoubleClickShowsThePlainAboutBox)
{
    TfrmMain form;
    form.show();
    FinishStartup(form);
    TMessageBoxes boxes;
    QString modal;  // a window that came up instead, closed again
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&modal] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            modal = QString::fromLatin1(w->metaObject()->className());
            w->close();
        }
    });
    closer.start(10);
    for (const int x : {form.StatusBar->Panel(0).Width / 2, form.StatusBar->PanelLeft(2) + 20}) {
        QPoint at(x, form.StatusBar->height() / 2);
        QWidget* under = WidgetUnder(form.StatusBar, at);
        QTest::mouseMove(under, at);
        QTest::mouseDClick(under, Qt::LeftButton, Qt::NoModifier, at);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(boxes.Texts, QStringList{AboutBoxText(QString())});
    EXPECT_TRUE(modal.isEmpty()) << modal.toStdString();
    form.ConfirmExit = false;
}

// When the banner has had its time, the window panels appear sized from the bar's width: each
// its share of what the fixed panels leave (at most 100 pixels), the banner panel taking the
// rest. The program's title is no display name, so no caption gets it added by the desktop.
TEST_F(MainTest, WindowPanelsAppearSizedFromTheBar)
{
    TfrmMain form;
    form.setWindowState(Qt::WindowNoState);
    form.resize(1200, 700);
    form.show();
    FinishStartup(form);
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(form.NewTraining(QString()));
    QCoreApplication::processEvents();
    TStatusPanels* bar = form.StatusBar;
    ASSERT_EQ(bar->Count(), form.FirstWindowPanel);  // none during the banner
    form.BannerTimer->start(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.BannerTimer->isActive(); }, 5000));
    ASSERT_EQ(bar->Count(), form.FirstWindowPanel + 6);
    const int fixed = bar->Panel(0).Width + bar->Panel(1).Width + bar->Panel(2).Width + form.LastFixedPanelWidth;
    EXPECT_EQ(bar->Panel(2).Width, 300);
    const int share = std::min((bar->contentsRect().width() - fixed) / 6, form.MaxPanelWidth);
    for (int i = form.FirstWindowPanel; i < bar->Count(); ++i)
        EXPECT_EQ(bar->Panel(i).Width, share) << i;
    EXPECT_EQ(bar->PanelLeft(bar->Count() - 1) + share, bar->contentsRect().width());

    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    EXPECT_TRUE(form.windowTitle().startsWith(QStringLiteral("Rowing ergometer training - [")));
    form.ConfirmExit = false;
    for (TfrmTraining* window : form.TrainingWindows())
        window->Training.Header.Modified = 0;
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
    const QRect centred(560, 240, 800, 600);
    // Off every screen, minimised (all 0) or too small to grab: centred on the first screen.
    const std::pair<QRect, QRect> cases[] = {
        {QRect(100, 50, 900, 700), QRect(100, 50, 900, 700)},
        {QRect(2000, 100, 600, 400), QRect(2000, 100, 600, 400)},
        {QRect(-5000, -5000, 800, 600), centred}, {QRect(0, 0, 0, 0), centred}, {QRect(1900, 1070, 800, 600), centred},
    };
    for (const auto& [stored, shown] : cases)
        EXPECT_EQ(SensibleBounds(stored, screens, QSize(800, 600)), shown) << stored.x() << "," << stored.y();
    EXPECT_EQ(SensibleBounds(QRect(0, 0, 0, 0), {QRect(0, 0, 640, 480)}, QSize(800, 600)), QRect(0, 0, 640, 480));

    // Hand-edited values, at the ends of the integer range too: no overflow, a window on a
    // screen, counters that can still count.
    for (const char* text : {"[Position]\nLeft=0\nTop=0\nWidth=0\nHeight=0\n",
                             "[Statistics]\nTimesStarted=2147483647\nFilesOpened=-7\n[Position]\nLeft=2147483647\n"
                             "Top=100\nWidth=2147483647\nHeight=-2147483648\n"}) {
        ASSERT_TRUE(WriteAllBytes(Ini(), text));
        TfrmMain form;
        EXPECT_FALSE(form.windowState() & Qt::WindowMinimized);
        EXPECT_EQ(form.size(), QSize(800, 600));
        EXPECT_GT(form.TimesStarted, 0);
        EXPECT_LT(form.TimesStarted, 2147483647);
        EXPECT_EQ(form.FilesOpened, 0);
    }
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
    // No cap: long parameters travel whole.
    const QString longName(240, QLatin1Char('x'));
    EXPECT_EQ(GetCommandLineText({longName, "b"}), longName + "\r\nb\r\n");
    EXPECT_EQ(CountLines(QStringLiteral("a\r\nb\r\nc")), 2);
    EXPECT_EQ(InstanceLines(QStringLiteral("a\r\n\r\nb\r\nc")), QStringList({"a", "b"}));
    EXPECT_TRUE(InstanceLines(QStringLiteral("\r\n")).isEmpty());
}

// A hand-over of many names is taken whole; a running copy that takes nothing (stopped, or
// a socket nobody serves) makes the second copy run and open its files itself.
TEST(InstanceHandOver, ManyNamesAreTakenAndASilentCopyIsNotWaitedFor)
{
    QTemporaryDir home;
    QTemporaryDir run;
    TEnvOverride homeVar{"HOME", QFile::encodeName(home.path())};
    TEnvOverride configVar{"XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config")))};
    TEnvOverride runVar{"XDG_RUNTIME_DIR", QFile::encodeName(run.path())};
    SetInstanceName(QStringLiteral("kvwt-hand-over-test"));
    SetInstanceWaitMs(300);

    {
        // A listening socket that nobody accepts on or reads from.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(InstanceSocketPath());
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(fd, 4), 0);
        for (const qsizetype names : {1, 20000}) {
            QStringList params;
            for (qsizetype i = 0; i < names; ++i)
                params << QStringLiteral("/rowing/%1/a-long-enough-name-for-a-training-file.stg").arg(i);
            EXPECT_EQ(InstanceInit(params), TInstanceStart::Run) << names;
            EXPECT_TRUE(InstanceHandOverFailure().contains(QStringLiteral("did not answer"))) << names;
            EXPECT_FALSE(InstanceListening());
        }
        ::close(fd);
        QFile::remove(InstanceSocketPath());
    }

    // The first copy, and a hand-over of more than 1 MiB.
    ASSERT_EQ(InstanceInit({}), TInstanceStart::Run);
    ASSERT_TRUE(InstanceListening());
    int delivered = 0;
    QString last;
    OnInstanceMessage = [&] {
        delivered = int(InstanceLines(InstanceText).size());
        last = InstanceLines(InstanceText).last();
    };
    QStringList names;
    for (int i = 0; i < 20000; ++i)
        names << QStringLiteral("/rowing/%1/a-long-enough-name-for-a-training-file.stg").arg(i);
    names << DecodeFileName("/rowing/r\xFC" "ck.stg");  // not UTF-8, and kept so
    const QByteArray text = EncodeFileName(GetCommandLineText(names)) + '\0';
    ASSERT_GT(text.size(), 1 << 20);
    QLocalSocket client;
    client.connectToServer(InstanceSocketPath());
    ASSERT_TRUE(client.waitForConnected(5000));
    client.write(text);
    QByteArray answer;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        answer += client.readAll();
        return delivered > 0 || client.state() == QLocalSocket::UnconnectedState;
    }, 60000));
    EXPECT_EQ(answer, "1");
    EXPECT_EQ(delivered, 20001);
    EXPECT_EQ(EncodeFileName(last), "/rowing/r\xFC" "ck.stg");
    InstanceDone();
    SetInstanceWaitMs(5000);
    SetInstanceName(QString());
}

TEST(AboutBox, FormatDuration)
{
    const std::pair<double, const char*> cases[] = {
        {1.5, "1 days, 12:00:00"}, {0.25, "06:00:00"}, {0, "?"}, {-1, "?"}, {65536, "?"},
        {65535.5, "65535 days, 12:00:00"}, {3725.0 / 86400, "01:02:05"},
        // Half a second short of a day rounds up into the next day, never to "24:00:00".
        {2 - 0.4 / 86400, "2 days, 00:00:00"},
    };
    for (const auto& [days, text] : cases)
        EXPECT_EQ(FormatDuration(days), QLatin1String(text)) << days;
}

// A version row opens its address; the website panel opens nothing, as this
// program's version block has no website.
TEST(AboutBox, VersionRowsOpenTheirLinks)
{
    TfrmAbout about;
    QStringList opened;
    about.OnOpenDocument = [&](const QString& link) {
        opened << link;
        return true;
    };
    QTableWidget* grid = about.stgVersion;
    grid->setRowCount(0);
    const std::pair<const char*, const char*> rows[] = {{"Email", "crew@example.org"}, {"Website", "example.org"},
                                                        {"DevelopedBy", "dev.example.org"}, {"CompanyName", "Kavelo"},
                                                        {"Email", ""}};
    for (const auto& [name, value] : rows)
        AddGridRow(QLatin1String(name), QLatin1String(value), grid);
    ASSERT_EQ(grid->rowCount(), 5);
    for (int r : {0, 1, 2, 3, 4, 9})
        EXPECT_EQ(about.stgVersionDblClick(r), r < 3) << r;
    about.pnlWebsiteClick();
    EXPECT_EQ(opened, QStringList({"mailto:crew@example.org", "http://example.org", "http://dev.example.org"}));

    // A last row with an empty name is filled instead of a new one being added; no grid, nothing.
    grid->setRowCount(6);
    AddGridRow(QStringLiteral("c"), QStringLiteral("3"), grid);
    EXPECT_EQ(grid->rowCount(), 6);
    AddGridRow(QString(), QStringLiteral("4"), nullptr);
}

// The Version page lists the 14 keys in their order, empty values too.
TEST(AboutBox, VersionPageHasARowForEveryKey)
{
    TfrmAbout about;
    about.show();
    const char* const keys[] = {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
                                "LegalTrademarks", "OriginalFilename", "ProductName", "ProductVersion", "SpecialBuild",
                                "Comments", "Website", "Email", "DevelopedBy"};
    QTableWidget* grid = about.stgVersion;
    ASSERT_EQ(grid->rowCount(), 14);
    for (int row = 0; row < 14; ++row) {
        const QString key = QString::fromLatin1(keys[row]);
        EXPECT_EQ(grid->item(row, 0)->text(), key);
        EXPECT_EQ(grid->item(row, 1)->text(), GetVersionInfoValue(key)) << keys[row];
    }
    EXPECT_EQ(grid->item(11, 1)->text(), QString());  // this program has no website
}

// The name and website panels take the dialog's text colour; without themes a text that would
// vanish in the panel's background is inverted, with themes it is left alone.
TEST(AboutBox, PanelTextInvertedOnlyWithoutThemes)
{
    const QString style = QApplication::style()->name();
    for (const char* name : {"windows", "fusion"}) {
        QApplication::setStyle(QString::fromLatin1(name));
        const bool themes = ThemesActive();
        EXPECT_EQ(themes, std::strcmp(name, "fusion") == 0);
        TfrmAbout about;
        const QColor text = about.palette().color(QPalette::Active, QPalette::WindowText);
        const QColor inverted = ColorRefToQColor(InvertColor(QColorToColorRef(text)));
        QPalette namePal = about.pnlName->palette();
        namePal.setColor(QPalette::Window, text);
        about.pnlName->setPalette(namePal);
        // The website panel's colour is the window colour handed over.
        about.SetColors(QApplication::font(), text, Qt::white, text);
        for (const auto& [panel, what] : {std::pair{about.pnlName, "name"}, std::pair{about.pnlWebsite, "website"}})
            EXPECT_EQ(panel->palette().color(QPalette::Active, QPalette::WindowText), themes ? text : inverted)
                << name << " " << what;
        // A panel that can be read keeps the dialog's text colour.
        about.SetColors(QApplication::font(), text, Qt::white, inverted);
        EXPECT_EQ(about.pnlWebsite->palette().color(QPalette::Active, QPalette::WindowText), text) << name;
    }
    QApplication::setStyle(style);
}

TEST(MessageWindow, EscOrItsFrameClosesItForGood)
{
    ShowMessageWindow(QStringLiteral("Searching for the ergometer ..."));
    QPointer<TfrmMessage> w = CurrentMessageWindow();
    ASSERT_NE(w, nullptr);
    ShowMessageWindow(QStringLiteral("Still searching"));
    EXPECT_EQ(CurrentMessageWindow(), w);  // one window, reused
    EXPECT_EQ(w->lblText->text(), QStringLiteral("Still searching"));
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_FALSE(MessageWindowVisible());
    EXPECT_EQ(CurrentMessageWindow(), nullptr);
    CloseMessageWindow();  // nothing left to close

    // The window's own close button: the window goes and the waiting code sees it gone.
    ShowMessageWindow(QStringLiteral("Again"));
    w = CurrentMessageWindow();
    ASSERT_NE(w, nullptr);
    w->close();
    EXPECT_FALSE(MessageWindowVisible());
    EXPECT_EQ(CurrentMessageWindow(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
}

TEST(Splash, ProgressSteps)
{
    // Two steps of three texts: the last step is not passed.
    ShowSplash(nullptr, QApplication::font(), Qt::white, 2);
    TfrmSplash* splash = CurrentSplash();
    ASSERT_NE(splash, nullptr);
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
    QStringList command;
    const auto saved = ShutdownCommand;
    ShutdownCommand = [&](const QString& p, const QStringList& a) {
        command = QStringList{p} + a;
        return true;
    };
    for (bool requested : {false, true}) {
        ShutdownRequested = requested;
        EXPECT_EQ(RunShutdownRequest(), requested);
        EXPECT_EQ(command.size(), requested ? 4 : 0);
    }
    EXPECT_EQ(command.mid(0, 3), QStringList({"shutdown", "-h", "+1"}));
    ShutdownRequested = false;
    ShutdownCommand = saved;
}

TEST(StartSwitches, OnlyASingleSwitchEndsTheProgram)
{
    const std::array<bool, 8> flags{};
    // A path is never a switch.
    for (const QStringList& args : {QStringList{}, {"-X", "file.stg"}, {"file.stg"}, {"/tmp/X"}})
        EXPECT_EQ(HandleStartSwitches(args, flags), -1) << args.join(' ').toStdString();
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
    // The main window closed last while exec ran: the quit that posted is not for the next test.
    QCoreApplication::removePostedEvents(QCoreApplication::instance(), QEvent::Quit);
    EXPECT_EQ(steps, (std::vector<std::string>{"hook while shown", "modal loop ended"}));
    EXPECT_EQ(questions, 0);
    EXPECT_TRUE(form.Exiting);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.ClosingUnattended());
}

// The main window's look reaches the program's dialogs and every child window, the training
// windows among them.
TEST_F(MainTest, ApplyOptionsReachesTheDialogsAndEveryChildWindow)
{
    TfrmMain form;
    CreateCommonDialogs();
    TfrmTraining* first = form.NewTraining(QString());
    TfrmTraining* second = form.NewTraining(QString());
    ASSERT_TRUE(first && second);
    form.UseSystemFont = false;
    form.OptionsFont = QFont(QStringLiteral("Liberation Serif"), 17);
    form.ApplyOptions();
    const QList<QWidget*> windows{first, second, &NewRowDialog(), ResultsDialog(), &ChartOptionsDialog(),
                                  &SelectColumnsDialog()};
    for (QWidget* window : windows)
        EXPECT_EQ(window->font().pointSize(), 17) << window->metaObject()->className();

    // The main window takes the back colour, or the button face with the system font.
    form.BackColor = QColor(200, 180, 160);
    form.ApplyOptions();
    EXPECT_EQ(form.palette().color(QPalette::Window), form.BackColor);
    EXPECT_EQ(form.StatusBar->palette().color(QPalette::Window), form.BackColor);
    form.UseSystemFont = true;
    form.ApplyOptions();
    EXPECT_EQ(form.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
}
