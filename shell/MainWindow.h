// The program's main window: options, settings and statistics, the start-up sequence, the
// exit question and the hand-over of files from a second copy.
#pragma once

#include "shell/MdiFrame.h"
#include "foundation/core/Types.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QKeySequence>
#include <QPointer>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>

class TWallPaper;
class TfrmTraining;
class QAction;
class QMenu;

// The kinds of child window the main window's actions tell apart.
enum class TChildKind { None, Training, Row, StrokeData, ForceCurves, Other };

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
    // The frame's UpdateAddress, where Help > Update looks for a newer version, comes from
    // [Options] "UpdateAddress", by default the build's KV_UPDATE_ADDRESS. Empty: no update.

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

    // What OpenFileChecked runs: OpenFile with the user settings file (tests replace it).
    std::function<bool(const QString& fileName)> OnOpenFile;
    bool OpenFileChecked(const QString& fileName);

    // Training registry (TrainingRegistry.cpp). The open trainings are the training windows
    // that are not closing, in the order of their ids (list index 0 = the oldest), whatever
    // the stacking of the windows. List indices count .. count + 3 reach the spare records.
    std::array<TTraining, 4> SpareTrainings;  // id -1 is element 0, id -4 element 3
    TTraining& SpareTraining(int id);         // id -1 .. -4
    QList<TfrmTraining*> TrainingWindows() const;
    int TrainingCount() const;
    int IndexOfTraining(int id) const;       // child index (MDIChildren) of that id, -1 if none
    int ChildIndexOfTraining(int n) const;   // child index of the n-th training, -1 if none
    int TrainingId(int n) const;             // -1 if none
    TfrmTraining* TrainingWindow(int n) const;
    TfrmTraining* TrainingWindowById(int id) const;
    // Clears the record, then copies the n-th training or, for n = count + k, spare record
    // -(k + 1); any other n leaves it cleared.
    void GetTraining(int n, TTraining& training) const;
    TTraining* TrainingPtr(int n);  // the same choice; nullptr outside 0 .. count + 3
    void GetTrainingById(int id, TTraining& training) const;
    int NextTrainingId();
    // Wide enough to go past any number a title can hold.
    std::int64_t NextAnonymousNumber() const;
    void CloseTraining(int id);
    void RefreshViews();
    void TrainingsChanged(bool changed);
    // Opens a file into a new training window; false when nothing was opened.
    bool OpenFile(const QString& iniFile, const QString& fileName);
    TfrmTraining* NewTraining(const QString& iniFile);
    // True when a new row window was made.
    bool OpenRowWindow(const QString& iniFile, const QString& userFile);
    // The new-session dialog: fills the record for a session, false on Cancel. Without it a
    // session starts from the default training.
    std::function<bool(const QString& userFile, TTraining& training)> RunNewSessionDialog;
    // Makes the row window for the training window; without it the row window is not made.
    std::function<QWidget*(TfrmTraining* trainingWindow, const QString& iniFile)> CreateRowWindow;
    void LoadProgress(double fraction);
    void AddRecentFile(const QString& fileName);
    void RemoveRecentFile(const QString& fileName);
    void UpdateRecentList(const QString& fileName, bool add);
    void BuildRecentMenu();
    void DeleteRecentMenu();
    void OpenRecentClick(int index);
    QList<QAction*> RecentItems;  // the recent-file items of the File menu and their separator
    QAction* FileNew = nullptr;
    QAction* FileOpen = nullptr;
    QAction* N3 = nullptr;  // the recent files follow this separator
    void FileNewExecute();
    void FileOpenExecute();
    // The file dialog of FileOpen; tests replace it.
    std::function<QStringList()> AskOpenFileNames;

    // Main window actions (MainActions.cpp), in menu order. Every action is also on the window
    // itself, so its shortcut works while the menu is hidden.
    QAction* FileStart = nullptr;  // checked: the start flag
    QAction* FileBrowse = nullptr;
    QAction* FileDatabase = nullptr;
    QAction* FileCalendar = nullptr;
    QAction* FileClose = nullptr;
    QAction* N5 = nullptr;
    QAction* FileSave = nullptr;
    QAction* FileSaveAs = nullptr;
    QAction* FileSaveChart = nullptr;
    QAction* FileSaveDesktop = nullptr;
    QAction* N4 = nullptr;
    QAction* EditCopyChart = nullptr;
    QAction* ViewRow = nullptr;
    QAction* ViewTraining = nullptr;
    QAction* ViewClients = nullptr;
    QAction* ViewSynchronise = nullptr;
    QAction* ViewUsers = nullptr;
    QAction* N7 = nullptr;
    QAction* ViewOptions = nullptr;
    QAction* Layout_Menu = nullptr;
    QAction* LayoutData = nullptr;
    QAction* LayoutTrainings = nullptr;
    QAction* LayoutLeftChart = nullptr;
    QAction* LayoutRightChart = nullptr;
    QAction* LayoutRightValues = nullptr;
    QAction* LayoutBottomValues = nullptr;
    QAction* LayoutN1 = nullptr;
    QAction* LayoutSaveAs = nullptr;
    QAction* LayoutOpen = nullptr;
    QAction* N1 = nullptr;
    QAction* Analyse_Menu = nullptr;
    QAction* AnalyseSummary = nullptr;
    QAction* AnalyseIntervals = nullptr;
    QAction* AnalyseStrokeData = nullptr;
    QAction* AnalyseForceCurves = nullptr;
    QAction* AnalyseSession = nullptr;
    QAction* AnalyseRace = nullptr;
    QAction* HelpWelcome = nullptr;
    QMenu* mnuLayout = nullptr;
    QMenu* mnuAnalyse = nullptr;
    QList<QAction*> LayoutFileItems;  // one per .srl file, made when the Layout menu opens
    QList<QAction*> HelpDocumentItems;  // the manuals and the separator after them

    TChildKind ChildKind(const QWidget* child) const;
    TChildKind ActiveChildKind() const;
    // The training window whose training the row window records into.
    TfrmTraining* RowTrainingWindow() const;
    // The training window the Save actions work on: the active one, or the row window's.
    TfrmTraining* SaveTarget() const;
    // The layout area an action stands for, as the active chart or row window has it.
    bool LayoutChecked(QAction* action) const;

    // What the actions ask of the row and analysis windows; set when those windows are part of
    // the program, replaced by tests.
    std::function<void(TfrmMain* main)> ShowStrokeData;
    std::function<void(TfrmMain* main)> ShowForceCurves;
    std::function<int(QWidget* row)> RowTrainingId;
    // The area flag of a chart or row window behind a layout action.
    std::function<bool(QWidget* child, QAction* layout)> ChildLayoutFlag;
    // Toggles the action's check and lays the window out accordingly.
    std::function<void(QWidget* child, QAction* layout)> ApplyChildLayout;
    std::function<bool(QWidget* chart, bool toFile)> ExportChartPicture;
    std::function<bool(QWidget* forceCurves)> ExportStrokeFile;
    std::function<void(QWidget* row, const QString& fileName)> LoadRowLayout;
    std::function<void(QWidget* row, const QString& fileName)> SaveRowLayout;
    // The name of a manual by its letter, and how it is opened (tests replace both).
    std::function<QString(const QString& letter)> ManualFileName;
    std::function<bool(const QString& fileName)> OpenHelpDocument;

    // The .srl files of the data folder, by name.
    QStringList LayoutFileNames() const;
    // Rebuilds the Help menu's manual items (those whose file exists).
    void AddHelpDocuments();
    void HelpPDFExecute(int tag);
    void LayoutMenuExecute();
    void LayoutExecute(QAction* action, bool checked);
    void LayoutOpenExecute(const QString& fileName);
    void LayoutSaveAsExecute();
    void FileSaveExecute();
    void FileSaveAsExecute();
    void ViewTrainingExecute();
    void UpdateActions() override;

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
    // Then every modified training is written to a file of its own (SessionRescue) and counts as
    // saved, so that closing its window asks nothing; the names go to the standard error.
    void KeepModifiedTrainings();
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
    void CreateRegistryActions();
    void CreateMainActions();
    void WireWindows();
    QAction* NewMainAction(const QString& name, const QString& caption, const QString& hint,
                           const QString& icon = QString(), const QKeySequence& shortcut = QKeySequence());
};

// True while the row window is being made (a guard against opening it twice).
extern bool RowWindowOpening;

extern TfrmMain* frmMain;

// Gives a dialog or child window the main window's font and colours.
template <class TWindow>
void TakeMainLook(TWindow& window)
{
    if (frmMain)
        window.SetColors(frmMain->OptionsFont, frmMain->TextColor, frmMain->BackColor, frmMain->WindowColor);
}

// The dialogs the program keeps for its whole run: chart options, column selection, new session
// and results. Made once, right after the main window.
void CreateCommonDialogs();

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
