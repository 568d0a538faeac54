// The program's main window: options, settings and statistics, the start-up sequence, the
// exit question and the hand-over of files from a second copy.
#pragma once

#include "shell/MdiFrame.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QPointer>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>

class TWallPaper;

class TfrmMain : public TMDIMain {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Options: fixed values; no dialog changes them (LastDir excepted).
    bool UseSystemFont = true;
    QFont OptionsFont;
    QColor TextColor;
    QColor BackColor;
    QColor WindowColor;
    std::uint8_t ChartLabelFields = 4;
    bool AutoSave = false;
    QString AutoSaveFileName;
    std::uint8_t SessionEndAction = 0;
    bool RowSessionOption = false;
    std::uint8_t DefaultConnectMode = 0;
    bool ConfirmExit = true;
    std::uint8_t ShortcutScheme = 0;
    bool PhaseBeeps = false;
    bool ChartSeriesOption = true;
    bool DistinctColours = false;
    int CurvesPerMinute = 120;
    std::uint8_t TrainingViewMode = 3;
    bool ToolbarDoubleWidth = false;
    // The first five are the file layer's types: .zti, .ztr, .zts, .str, .stg.
    std::array<bool, 8> AssociationFlags{false, false, false, true, true, true, true, true};
    QString LastDir;

    QStringList RecentFiles;  // full names, newest first
    bool FirstShow = true;
    int LastTrainingId = 100;
    bool Exiting = false;
    QDateTime StartTime;

    // Usage statistics, kept in section "Statistics".
    double RunningTime = 0;  // days
    int TimesStarted = 0;
    double RowingTime = 0;  // days
    int RowingSessions = 0;
    int FilesOpened = 0;
    int FilesSaved = 0;

    QTimer* BannerTimer = nullptr;
    TWallPaper* WallPaper = nullptr;
    QString BannerText;

    QPointer<QWidget> frmStrokeData;
    QPointer<QWidget> frmForceCurves;
    QPointer<QWidget> frmRow;

    // Files opened after the start-up: the program's own file parameters.
    QStringList StartFiles;
    bool StartupRunning() const { return FStartupRunning; }
    bool StartupDone = false;  // the first show's sequence has run

    // Until the training registry exists, opening a file only reports the name; the registry
    // sets the opener.
    std::function<bool(const QString& fileName)> OnOpenFile;
    bool OpenFileChecked(const QString& fileName);

    QString GetIniFileName() const override;
    void LoadSettings();
    void SaveSettings();
    void ApplyOptions();
    void SetShortCuts();
    void ShowWelcome();
    void MigrateFiles();
    bool MoveToDataFolder(const QString& mask);
    void ReclameTimer();
    void StatusBarResize();
    void OtherInstance();
    void HelpAboutShow();
    // The exit question; false keeps the program running.
    bool FormCloseQuery();

    // Ending without anybody to answer (SIGTERM, SIGINT, the desktop's logout): runs
    // OnUnattendedClose, closes the window without the exit question and leaves every event
    // loop; the settings and statistics are saved by the destruction as after any close.
    void CloseUnattended();
    bool ClosingUnattended() const { return FUnattended; }
    // Runs first in CloseUnattended: a window with work in progress (a rowing session) keeps it
    // here. Nothing in it may ask the user.
    std::function<void()> OnUnattendedClose;
    void FirstShowSequence();
    double CurrentRunningTime() const;  // stored + this run, in days

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool FStartupRunning = false;
    bool FSaved = false;
    bool FUnattended = false;
    QStringList FPendingTexts;  // hand-overs that came during the start-up
    void OpenHandedOver(const QString& text);
    // Opens the waiting hand-overs, oldest first, including any that arrive meanwhile.
    void OpenPendingTexts();
};

extern TfrmMain* frmMain;

// [Options] "Dialog" of the settings file, read each time; the button face colour by default.
QColor GetDialogColor();

// The switches X, X+, X- and XD when they are the only parameter: -1 lets the program start,
// otherwise the exit code. Failures go to standard error.
int HandleStartSwitches(const QStringList& params, const std::array<bool, 8>& associationFlags);
// readme.txt in the program folder when it can be written there, else in the user data folder.
QString ReadmeFileName();
// Writes readme.txt, or sets its date when it exists. False on failure.
bool WriteReadme();

// Bounds that would put a window minimised or off every screen: normal bounds on a screen.
QRect SensibleBounds(const QRect& stored, const QList<QRect>& screens, QSize normalSize);

// Set by a session that should end with the system's shutdown (never with the fixed options).
extern bool ShutdownRequested;
// Runs the shutdown command; tests replace it.
extern std::function<bool(const QString& program, const QStringList& arguments)> ShutdownCommand;
// Unit finalisation: starts the shutdown when it was requested. True when it was started.
bool RunShutdownRequest();
