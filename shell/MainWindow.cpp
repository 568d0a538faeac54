#include "shell/MainWindow.h"

#include "platform/FileNames.h"
#include "platform/AtomicFile.h"
#include "foundation/core/AppUtils.h"
#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/files/FileIo.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "platform/IniFiles.h"
#include "platform/ProgramReplace.h"
#include "platform/SystemProbe.h"
#include "widgets/UiUtils.h"
#include "shell/MenuBar.h"
#include "shell/StatusPanels.h"
#include "shell/Wallpaper.h"
#include "shell/AboutWindow.h"
#include "shell/SingleInstance.h"
#include "shell/SplashWindow.h"
#include "foundation/recording/SessionRescue.h"
#include "session/NewSessionDialog.h"
#include "session/ResultsDialog.h"
#include "session/TrainingWindow.h"
#include "shell/ChartOptionsDialog.h"
#include "shell/MdiChild.h"
#include "shell/SelectColumnsDialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

TfrmMain* frmMain = nullptr;
bool ShutdownRequested = false;
std::function<bool(const QString&, const QStringList&)> ShutdownCommand =
    [](const QString& program, const QStringList& arguments) { return QProcess::startDetached(program, arguments); };

namespace {

const QString kOptions = QStringLiteral("Options");
const QString kRecent = QStringLiteral("Recent");
const QString kStatistics = QStringLiteral("Statistics");
const QString kPosition = QStringLiteral("Position");
const QString kStrokeData = QStringLiteral("StrokeData");
const QString kRow = QStringLiteral("Row");
const QString kGeneral = QStringLiteral("General");

constexpr int kBannerMs = 60000 * 10;
constexpr int kNormalWidth = 800;
constexpr int kNormalHeight = 600;

// The settings file to read; before the first save there is none yet, and the name it will
// get is used.
QString MainIniFileName()
{
    QString name = GetUserIniFileName(false);
    if (name.isEmpty())
        name = GetUserIniFileName(true);
    return name;
}

double ReadDays(const TIniFile& ini, const QString& key)
{
    const QString text = ini.ReadString(kStatistics, key, QString()).trimmed();
    if (text.isEmpty())
        return 0;
    try {
        const double value = StrToFloatAnySep(text);
        return std::isfinite(value) && value > 0 ? value : 0;
    } catch (const std::exception&) {
        return 0;  // a hand-edited value that is not a number counts from zero again
    }
}

// A hand-edited counter below 0 counts from 0, one near the integer limit stops short of it so
// that counting on cannot overflow.
int ReadCounter(const TIniFile& ini, const QString& key)
{
    constexpr int kMaxCounter = 1000000000;
    return std::clamp(ini.ReadInteger(kStatistics, key, 0), 0, kMaxCounter);
}

// Stored bounds far beyond any screen would overflow the window arithmetic.
int ReadBound(const TIniFile& ini, const QString& key)
{
    return std::clamp(ini.ReadInteger(kPosition, key, -1), -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

bool IsStartSwitch(const QStringList& params)
{
    if (params.size() != 1)
        return false;
    for (const char* name : {"X", "X+", "X-", "XD"})
        if (HasCmdLineSwitch(QString::fromLatin1(name), params))
            return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Free routines

QColor GetDialogColor()
{
    const QString name = GetUserIniFileName(false);
    if (!name.isEmpty()) {
        TIniFile ini(name);
        if (ini.ValueExists(kOptions, QStringLiteral("Dialog")))
            return ColorRefToQColor(std::uint32_t(ini.ReadInteger(kOptions, QStringLiteral("Dialog"), 0)));
    }
    return QApplication::palette().color(QPalette::Button);
}

QString ReadmeFileName()
{
    const QString program = GetProgramFolder();
    if (!program.isEmpty() && QFileInfo(program).isWritable() && IsFileWritable(program + QStringLiteral("readme.txt")))
        return program + QStringLiteral("readme.txt");
    return GetUserDataFolder() + QStringLiteral("readme.txt");
}

bool WriteReadme()
{
    const QString name = ReadmeFileName();
    QFile file(name);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadWrite))
            return false;
        return file.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
    }
    return WriteFileAtomically(name, GetProductTitle().toUtf8() + '\n');
}

int HandleStartSwitches(const QStringList& params, const std::array<bool, 8>& flags)
{
    if (!IsStartSwitch(params))
        return -1;
    std::array<bool, 8> chosen = flags;
    bool associate = true;
    if (HasCmdLineSwitch(QStringLiteral("X+"), params))
        chosen.fill(true);
    else if (HasCmdLineSwitch(QStringLiteral("X-"), params))
        chosen.fill(false);
    else if (!HasCmdLineSwitch(QStringLiteral("X"), params))
        associate = false;  // XD
    if (!associate) {
        if (WriteReadme())
            return 0;
        std::fprintf(stderr, "kvwt: cannot write %s\n", qPrintable(ReadmeFileName()));
        return -1;  // the program starts as usual
    }
    QString why;
    bool ok = RegisterFileAssociations(chosen[0], chosen[1], chosen[2], chosen[3], chosen[4], why);
    if (!ok)
        std::fprintf(stderr, "kvwt: %s\n", qPrintable(why));
    if (!WriteReadme()) {
        std::fprintf(stderr, "kvwt: cannot write %s\n", qPrintable(ReadmeFileName()));
        ok = false;
    }
    return ok ? 0 : 1;
}

QRect SensibleBounds(const QRect& stored, const QList<QRect>& screens, QSize normalSize)
{
    constexpr int kMinVisible = 50;
    if (stored.width() >= kMinVisible && stored.height() >= kMinVisible) {
        for (const QRect& screen : screens) {
            const QRect visible = screen.intersected(stored);
            if (visible.width() >= kMinVisible && visible.height() >= kMinVisible)
                return stored;
        }
    }
    const QRect screen = screens.isEmpty() ? QRect(QPoint(0, 0), normalSize) : screens.constFirst();
    QRect result(QPoint(0, 0), normalSize.boundedTo(screen.size()));
    result.moveCenter(screen.center());
    return result;
}

bool RunShutdownRequest()
{
    if (!ShutdownRequested || !ShutdownCommand)
        return false;
    const QString message = QStringLiteral("Done rowing. Shutdown initiated by %1.").arg(GetFileDescription());
    return ShutdownCommand(QStringLiteral("shutdown"), {QStringLiteral("-h"), QStringLiteral("+1"), message});
}

// ---------------------------------------------------------------------------------------------
// TfrmMain

TfrmMain::TfrmMain(QWidget* parent) : TMDIMain(parent, MainIniFileName())
{
    frmMain = this;
    SetShowWindowPanels(false);
    if (windowState() == Qt::WindowNoState)
        resize(kNormalWidth, kNormalHeight);

    // Status bar: version, spacer, text (hints and messages), banner; window panels follow.
    StatusBar->Panel(2).Width = 300;
    StatusBar->Add({QString(), 10, Qt::AlignLeft, TPanelBevel::None, false});
    FirstWindowPanel = StatusBar->Count();
    LastFixedPanelWidth = StatusBar->Panel(FirstWindowPanel - 1).Width;
    StatusBar->OnResize = [this](TStatusPanels*) {
        UpdateWindowPanels();
        StatusBarResize();
    };

    OnInstanceMessage = [this] { OtherInstance(); };
    setAcceptDrops(true);

    StartTime = QDateTime::currentDateTime();
    LoadSettings();
    ++TimesStarted;

    // Without an address there is nothing to check; with one, Help > Update is there to choose.
    HelpUpdate->setVisible(!UpdateAddress.isEmpty());
    disconnect(HelpAbout, &QAction::triggered, this, nullptr);
    connect(HelpAbout, &QAction::triggered, this, &TfrmMain::HelpAboutShow);
    FirstShow = true;
    LastTrainingId = 100;
    SetActionTag(Window_Menu, -1);
    Window_Menu->setVisible(false);

    BannerText = QStringLiteral("%1 - %2").arg(GetProductName(), GetFileDescription());
    BannerTimer = new QTimer(this);
    BannerTimer->setSingleShot(true);
    BannerTimer->setInterval(kBannerMs);
    connect(BannerTimer, &QTimer::timeout, this, &TfrmMain::ReclameTimer);
    BannerTimer->start();

    WallPaper = new TWallPaper(this);
    WallPaper->Tiled = false;
    WallPaper->Picture = TWallPaper::DefaultPicture();
    if (WallPaper->Picture.isNull())
        WallPaper->Picture = SplashPicture();
    WallPaper->Attach(this);

    OnOpenFile = [this](const QString& fileName) { return OpenFile(GetUserIniFileName(false), fileName); };
    CreateRegistryActions();
    CreateMainActions();

    MenuBar->SetDoubleWidth(ToolbarDoubleWidth);
    MenuBar->CreateToolbars();
    StatusBarResize();
}

TfrmMain::~TfrmMain()
{
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        DebugTrace(QStringLiteral("Settings not saved: %1").arg(QString::fromLocal8Bit(e.what())));
    }
    BannerTimer->stop();
    OnInstanceMessage = nullptr;
    if (frmMain == this)
        frmMain = nullptr;
}

QString TfrmMain::GetIniFileName() const
{
    return MainIniFileName();
}

void TfrmMain::LoadSettings()
{
    UseSystemFont = true;
    OptionsFont = QApplication::font("QMessageBox");
    const QPalette pal = QApplication::palette();
    TextColor = pal.color(QPalette::WindowText);
    BackColor = pal.color(QPalette::Button);
    WindowColor = pal.color(QPalette::Base);
    ChartLabelFields = 4;
    AutoSave = false;
    AutoSaveFileName = GetUserDataFolder() + QStringLiteral("{title}_{date}_{time}.stg");
    SessionEndAction = 0;
    RowSessionOption = false;
    DefaultConnectMode = 0;
    ConfirmExit = true;
    ShortcutScheme = 0;
    PhaseBeeps = false;
    ChartSeriesOption = true;
    DistinctColours = false;
    CurvesPerMinute = 120;
    TrainingViewMode = 3;
    ToolbarDoubleWidth = false;
    AssociationFlags = {false, false, false, true, true, true, true, true};
    LastDir = GetUserDataFolder();
    UpdateAddress = QStringLiteral(KV_UPDATE_ADDRESS);
    RecentFiles.clear();
    RunningTime = RowingTime = 0;
    TimesStarted = RowingSessions = FilesOpened = FilesSaved = 0;

    const QString name = GetUserIniFileName(false);
    std::optional<TIniFile> settings;
    if (!name.isEmpty()) {
        settings.emplace(name);
        // How many strokes before the last one the row window's live chart shows: without the
        // key as many as it shows now (all of them at first); raised to 5 by the stroke table.
        // Kept one short of the integer limit, so that counting one past it cannot overflow.
        RollingCount =
            std::min(settings->ReadInteger(kRow, QStringLiteral("DataRange"), RollingCount),
                     std::numeric_limits<int>::max() - 1);
    }
    BuildParameterTables();

    int left = -1, top = -1, width = -1, height = -1;
    if (settings) {
        const TIniFile& ini = *settings;
        LoadParameterSettings(ini, kStrokeData, StrokeParameters);
        QStringList lines;
        ini.ReadSectionValues(kRecent, lines);
        for (const QString& line : lines) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq < 0)
                continue;
            const QString file = line.mid(eq + 1).trimmed();
            if (!file.isEmpty())
                RecentFiles << file;
        }
        LastDir = ini.ReadString(kOptions, QStringLiteral("LastDir"), LastDir);
        UpdateAddress = ini.ReadString(kOptions, QStringLiteral("UpdateAddress"), UpdateAddress).trimmed();
        RunningTime = ReadDays(ini, QStringLiteral("RunningTime"));
        TimesStarted = ReadCounter(ini, QStringLiteral("TimesStarted"));
        RowingTime = ReadDays(ini, QStringLiteral("RowingTime"));
        RowingSessions = ReadCounter(ini, QStringLiteral("RowingSessions"));
        FilesOpened = ReadCounter(ini, QStringLiteral("FilesOpened"));
        FilesSaved = ReadCounter(ini, QStringLiteral("FilesSaved"));
        left = ReadBound(ini, QStringLiteral("Left"));
        top = ReadBound(ini, QStringLiteral("Top"));
        width = ReadBound(ini, QStringLiteral("Width"));
        height = ReadBound(ini, QStringLiteral("Height"));
    }

    if (left == -1 && top == -1 && width == -1 && height == -1) {
        SetFormBounds(this, -1, -1, -1, -1);
    } else {
        // Minimised or off every screen: normal bounds on a screen instead.
        QList<QRect> screens;
        for (const QScreen* s : QGuiApplication::screens())
            screens << s->availableGeometry();
        const QRect r = SensibleBounds(QRect(left, top, width, height), screens, QSize(kNormalWidth, kNormalHeight));
        SetFormBounds(this, r.x(), r.y(), r.width(), r.height());
    }
    SetShortCuts();
}

double TfrmMain::CurrentRunningTime() const
{
    const QDateTime now = QDateTime::currentDateTime();
    double result = RunningTime;
    if (StartTime.isValid() && now > StartTime)
        result += double(StartTime.msecsTo(now)) / 86400000.0;
    return result;
}

void TfrmMain::SaveSettings()
{
    if (FSaved)
        return;
    FSaved = true;
    int left = 0, top = 0, width = 0, height = 0;
    GetFormBounds(this, left, top, width, height);
    const QString name = GetUserIniFileName(true);
    if (name.isEmpty() || !IsFileWritable(name))
        return;  // no message: the first show has warned
    {
        TIniFile ini(name);
        // The sections are spaced by the save itself: a file that is not written stays as it was.
        ini.SetSectionSpacing(true);
        // Rewritten whole, so entries removed from the list stay removed.
        ini.EraseSection(kRecent);
        for (qsizetype i = 0; i < RecentFiles.size(); ++i)
            ini.WriteString(kRecent, QString::number(i + 1), RecentFiles[i]);
        ini.WriteString(kOptions, QStringLiteral("LastDir"), LastDir);
        ini.WriteFloat(kStatistics, QStringLiteral("RunningTime"), CurrentRunningTime());
        ini.WriteInteger(kStatistics, QStringLiteral("TimesStarted"), TimesStarted);
        ini.WriteFloat(kStatistics, QStringLiteral("RowingTime"), RowingTime);
        ini.WriteInteger(kStatistics, QStringLiteral("RowingSessions"), RowingSessions);
        ini.WriteInteger(kStatistics, QStringLiteral("FilesOpened"), FilesOpened);
        ini.WriteInteger(kStatistics, QStringLiteral("FilesSaved"), FilesSaved);
        ini.WriteInteger(kPosition, QStringLiteral("Left"), left);
        ini.WriteInteger(kPosition, QStringLiteral("Top"), top);
        ini.WriteInteger(kPosition, QStringLiteral("Width"), width);
        ini.WriteInteger(kPosition, QStringLiteral("Height"), height);
        SaveParameterSettings(ini, kStrokeData, StrokeParameters);
        // The sections the frame writes at its destruction are written now as well, in the same
        // spaced save; the later writes only change their values in place.
        WriteViewSettings();
        MenuBar->SaveToolbars();
        if (!ini.UpdateFile())
            DebugTrace(QStringLiteral("Settings not saved to %1").arg(name));
    }
    TIniFile::UpdateAllFiles();
}

void CreateCommonDialogs()
{
    ChartOptionsDialog();
    SelectColumnsDialog();
    NewRowDialog();
    ResultsDialog();
}

void TfrmMain::ApplyOptions()
{
    if (UseSystemFont)
        OptionsFont = QApplication::font("QMessageBox");
    setFont(OptionsFont);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, UseSystemFont ? QApplication::palette().color(QPalette::Button) : BackColor);
    setPalette(pal);
    update();
    TakeMainLook(NewRowDialog());
    TakeMainLook(*ResultsDialog());
    TakeMainLook(ChartOptionsDialog());
    TakeMainLook(SelectColumnsDialog());
    const QList<QMdiSubWindow*> children = MdiArea->subWindowList();
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (auto* child = qobject_cast<TMDIChild*>((*it)->widget()))
            TakeMainLook(*child);
    update();
}

void TfrmMain::ShowWelcome()
{
    // [General] Welcome holds the version that last showed the welcome page (nothing writes it
    // yet, and the page has nothing to show: HelpWelcome does nothing).
    const QString name = GetUserIniFileName(false);
    const int shown = name.isEmpty() ? 0 : TIniFile(name).ReadInteger(kGeneral, QStringLiteral("Welcome"), 0);
    if (std::int64_t(shown) < std::int64_t(GetFileVersionInt()))
        HelpWelcome->trigger();
}

bool TfrmMain::MoveToDataFolder(const QString& mask)
{
    const QString data = GetUserDataFolder();
    const QString program = GetProgramFolder();
    if (data.isEmpty() || program.isEmpty() || QFileInfo(data).canonicalFilePath() == QFileInfo(program).canonicalFilePath())
        return false;
    const auto firstMatch = [&mask](const QString& folder) {
        QDir dir(folder);
        dir.setNameFilters({mask});
        dir.setFilter(QDir::Files | QDir::Hidden | QDir::System);
        dir.setSorting(QDir::Name | QDir::IgnoreCase);
        const QStringList found = dir.entryList();
        return found.isEmpty() ? QString() : folder + found.constFirst();
    };
    bool moved = false;
    for (int guard = 0; guard < 1000; ++guard) {
        if (!firstMatch(data).isEmpty())
            break;  // the data folder already has one: it wins
        const QString source = firstMatch(program);
        if (source.isEmpty())
            break;
        const QString target = data + QFileInfo(source).fileName();
        QFile::remove(target);
        if (!QFile::copy(source, target))
            break;
        QFile::remove(source);
        moved = true;
    }
    return moved;
}

void TfrmMain::MigrateFiles()
{
    const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    MoveToDataFolder(QStringLiteral("*.srl"));
    MoveToDataFolder(base + QStringLiteral(".STG"));
    MoveToDataFolder(QStringLiteral("default.STG"));
    MoveToDataFolder(QStringLiteral("default.str"));
    MoveToDataFolder(base + QStringLiteral(".ini"));
}

void TfrmMain::ReclameTimer()
{
    BannerTimer->stop();
    // The banner gives its room back first: the window panels share what is left of the bar.
    StatusBarResize();
    SetShowWindowPanels(true);
    SetPanelElision(0);
}

void TfrmMain::StatusBarResize()
{
    if (StatusBar->Count() < 4)
        return;
    TStatusPanel& banner = StatusBar->Panel(3);
    if (BannerTimer && BannerTimer->isActive()) {
        const int bannerWidth = StatusBar->fontMetrics().horizontalAdvance(BannerText) + StatusBar->height() + 10;
        banner.Text = BannerText;
        banner.Bevel = TPanelBevel::Lowered;
        StatusBar->Panel(2).Width = std::max(0, StatusBar->width() - StatusBar->Panel(0).Width -
                                                    StatusBar->Panel(1).Width - bannerWidth);
    } else {
        banner.Text.clear();
        banner.Bevel = TPanelBevel::None;
        StatusBar->Panel(2).Width = 300;
    }
    StatusBar->update();
}

void TfrmMain::resizeEvent(QResizeEvent* event)
{
    TMDIMain::resizeEvent(event);
    StatusBarResize();
}

bool TfrmMain::OpenFileChecked(const QString& fileName)
{
    DebugTrace(QStringLiteral("Opening file \"%1\"").arg(DisplayFileName(fileName)));
    if (!OnOpenFile)
        return false;
    // Called from drops, hand-overs and menu items: a failure is said here and goes no further.
    try {
        return OnOpenFile(fileName);
    } catch (const std::exception& e) {
        ShowMessageBox(this, QMessageBox::Critical,
                       QStringLiteral("File \"%1\" could not be opened: %2").arg(DisplayFileName(fileName), QString::fromLocal8Bit(e.what())));
    } catch (...) {
        ShowMessageBox(this, QMessageBox::Critical, QStringLiteral("File \"%1\" could not be opened.").arg(DisplayFileName(fileName)));
    }
    return false;
}

void TfrmMain::OtherInstance()
{
    // During the start-up splash, or while an earlier hand-over is still opening files, the
    // text waits: the splash is never taken away inside its own loop.
    FPendingTexts << InstanceText;
    if (FStartupRunning || FPendingTexts.size() > 1)
        return;
    OpenPendingTexts();
}

void TfrmMain::OpenPendingTexts()
{
    while (!FPendingTexts.isEmpty()) {
        OpenHandedOver(FPendingTexts.constFirst());
        FPendingTexts.removeFirst();
    }
}

void TfrmMain::OpenHandedOver(const QString& text)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    const QStringList lines = InstanceLines(text);
    ShowSplash(this, OptionsFont, BackColor, CountLines(text));
    if (TfrmSplash* splash = CurrentSplash())
        splash->show();
    for (const QString& line : lines) {
        StepProgress(line);
        OpenFileChecked(line);  // reports its own failures
    }
    HideSplash();
}

void TfrmMain::FirstShowSequence()
{
    FStartupRunning = true;
    if (GetUserIniFileName(true).isEmpty()) {
        const QString lines[] = {QStringLiteral("There was an error saving program settings to file"),
                                 QLatin1Char('"') + GetUserIniFileName(false) + QStringLiteral("\"."),
                                 QStringLiteral("Please consider running %1 with Adminstrative").arg(GetFileDescription()),
                                 QStringLiteral("rights, change the access rights to this file or"),
                                 QStringLiteral("install the software in a different folder.")};
        QStringList text(std::begin(lines), std::end(lines));
        ShowMessageBox(this, QMessageBox::Warning, text.join(QLatin1Char('\n')));
    }
    MigrateFiles();
    ShowSplash(this, OptionsFont, BackColor, 0);
    SetDisplayTime(false);
    StepProgress(QString());
    if (QPointer<TfrmSplash> splash = CurrentSplash())
        splash->exec();
    ShowWelcome();
    // A session that an earlier run had to end without anybody there was kept: say where.
    if (const QString notice = TakeRescueNotice(UserRescuePlace()); !notice.isEmpty()) {
        SetStatusText(notice);
        std::fprintf(stderr, "kvwt: %s\n", qPrintable(notice));
        ShowMessageBox(this, QMessageBox::Information, notice);
    }
    // An update that the last run started and that could not be installed.
    if (const QString notice = TakeUpdateNotice(ProgramFilePath()); !notice.isEmpty()) {
        std::fprintf(stderr, "kvwt: %s\n", qPrintable(notice));
        ShowMessageBox(this, QMessageBox::Warning, notice);
    }
    HideSplash();
    FStartupRunning = false;
    StartupDone = true;

    // The program's own file parameters, then whatever other copies handed over meanwhile.
    if (!StartFiles.isEmpty())
        FPendingTexts.prepend(GetCommandLineText(StartFiles));
    OpenPendingTexts();
    // Then the program is ready to row (the files asked for do not wait for the rower's dialog).
    if (CreateRowWindow && !ClosingUnattended())
        OpenRowWindow(GetUserIniFileName(false), QString());
}

void TfrmMain::showEvent(QShowEvent* event)
{
    TMDIMain::showEvent(event);
    ApplyOptions();
    if (FirstShow) {
        FirstShow = false;
        // The splash runs its own loop: not from inside the show event.
        QTimer::singleShot(0, this, [this] {
            try {
                FirstShowSequence();
            } catch (const std::exception& e) {
                DebugTrace(QStringLiteral("Start-up: %1").arg(QString::fromLocal8Bit(e.what())));
            }
        });
    }
}

bool TfrmMain::FormCloseQuery()
{
    Exiting = true;
    bool canClose = true;
    if (ConfirmExit)
        canClose = ShowMessageBox(this, QMessageBox::Question,
                                  QStringLiteral("This will exit %1. Are you sure?").arg(GetFileDescription()),
                                  QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    Exiting = canClose;
    return canClose;
}

void TfrmMain::CloseUnattended()
{
    if (FUnattended)
        return;
    FUnattended = true;
    if (OnUnattendedClose) {
        try {
            OnUnattendedClose();
        } catch (const std::exception& e) {
            DebugTrace(QStringLiteral("Unattended close: %1").arg(QString::fromLocal8Bit(e.what())));
        }
    }
    KeepModifiedTrainings();
    close();
    // Modal loops (a message, the splash) end too; new ones return at once from now on.
    QCoreApplication::exit(0);
}

void TfrmMain::KeepModifiedTrainings()
{
    const TRescuePlace place = UserRescuePlace();
    for (TfrmTraining* window : TrainingWindows()) {
        TTraining& t = window->Training;
        if (!t.Header.Modified)
            continue;
        const QString what = t.Header.ContentKind == kContentKindRow && t.Header.FileName == "?"
                                 ? QStringLiteral("the session in progress")
                                 : QStringLiteral("the training \"%1\"").arg(Cp1252ToQString(t.Header.Title));
        QString fileName, error;
        if (!RescueTraining(t, place, fileName, error)) {
            std::fprintf(stderr, "kvwt: %s could not be kept (%s)\n", qPrintable(what), qPrintable(error));
            continue;
        }
        std::fprintf(stderr, "kvwt: %s was kept in %s\n", qPrintable(what), qPrintable(fileName));
        // Kept in that file now: closing its window has nothing left to ask.
        t.Header.FileName = QStringToCp1252(fileName).substr(0, kShortStringMax);
        t.Header.Modified = 0;
    }
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    if (FUnattended) {
        Exiting = true;  // nobody to ask
    } else if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    // Each training window asks about its own training; one that stays open keeps the program
    // open, so no modified training goes without the user's word.
    for (const QPointer<TfrmTraining> window : TrainingWindows()) {
        window->Close();
        if (window && !window->Closing) {
            Exiting = false;
            event->ignore();
            return;
        }
    }
    delete WallPaper;
    WallPaper = nullptr;
    TMDIMain::closeEvent(event);
}

void TfrmMain::HelpAboutShow()
{
    TfrmAbout about(this);
    about.SetColors(OptionsFont, TextColor, BackColor, WindowColor);
    AddGridRow(tr("Running time"), FormatDuration(CurrentRunningTime()), about.stgStatistics);
    AddGridRow(tr("Times started"), QString::number(TimesStarted), about.stgStatistics);
    AddGridRow(tr("Rowing time"), FormatDuration(RowingTime), about.stgStatistics);
    AddGridRow(tr("Rowing sessions"), QString::number(RowingSessions), about.stgStatistics);
    AddGridRow(tr("Files opened"), QString::number(FilesOpened), about.stgStatistics);
    AddGridRow(tr("Files saved"), QString::number(FilesSaved), about.stgStatistics);
    about.exec();
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    QStringList names;
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            names << url.toLocalFile();
    // Opening may ask questions: not inside the drop.
    QTimer::singleShot(0, this, [this, names] {
        for (const QString& name : names)
            OpenFileChecked(name);
    });
}
