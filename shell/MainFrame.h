// Base of the program's main windows: actions and menu, tool bars made from the menu, a status
// bar with a version panel and a progress bar, Find for edit fields, and the View toggles kept
// in section "View" of the settings file.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <functional>

class QAction;
class QDialog;
class QFrame;
class QMenu;
class QProgressBar;
class QTimer;
class QVBoxLayout;
class TFindDialog;
class TMenuBar;
class TStatusPanels;

// A Tag on an action or top-level menu item; a negative tag keeps the item hidden.
int ActionTag(const QAction* action);
void SetActionTag(QAction* action, int tag);

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // An empty settings file name stands for the program's own ".ini".
    explicit TFormMain(QWidget* parent = nullptr, const QString& iniFileName = QString());
    ~TFormMain() override;

    virtual QString GetIniFileName() const;

    // Actions, in the order of the design; every action is also added to the window itself so
    // that its shortcut works while the menu bar is hidden.
    QList<QAction*> MainActions;
    QAction* FileExit;
    QAction* File_Menu;
    QAction* Edit_Menu;
    QAction* EditCut;
    QAction* EditCopy;
    QAction* EditPaste;
    QAction* EditFind;
    QAction* View_Menu;
    QAction* ViewFullscreen;
    QAction* ViewHints;
    QAction* ViewMenu;
    QAction* ViewToolbar;
    QAction* ViewStatusbar;
    QAction* Help_Menu;
    QAction* HelpWebsite;
    QAction* HelpUpdate;
    QAction* HelpAbout;
    QAction* ViewN1;
    QMenu* mnuFile;
    QMenu* mnuEdit;
    QMenu* mnuView;
    QMenu* mnuHelp;

    TStatusPanels* StatusBar;
    QFrame* BevelStatus;
    TMenuBar* MenuBar;
    QFrame* TopBevel;
    TFindDialog* FindDialog = nullptr;  // created on first use

    QString UpdateAddress;  // empty keeps HelpUpdate disabled
    int ProgressPosition = -1;
    bool ProgressProcessMessages = false;
    bool OverVersionPanel = false;
    QProgressBar* ProgressBar = nullptr;
    QPointer<QWidget> FindEdit;  // the edit field that last had the focus
    int HoverPanel = -1;         // the status panel last under the mouse

    // Asks the update service; false when it found no newer version, true when it has dealt with
    // the outcome itself (an update offered, a failure told, a cancel).
    std::function<bool(const QString& address)> CheckForUpdate;

    void SetFullscreen(bool value);
    void SetHints(bool value);
    void SetMenuVisible(bool value);
    void SetToolbarVisible(bool value);
    void SetStatusbarVisible(bool value);
    bool HintsEnabled() const { return FHints; }

    void SetStatusText(const QString& text);  // status panel 2
    void SetProgress(int percent);
    void SetProgressFraction(double fraction);

    // Searches the Find target from the end of its selection; false (and a beep) without a hit.
    bool FindText(const QString& what, bool matchCase);

    // The Update handlers of the actions; run from a short timer and on changes of the focus and
    // of the active child window, since Qt has no idle-time update.
    virtual void UpdateActions();
    virtual int MDIChildCount() const { return 0; }
    virtual bool IsMDIForm() const { return false; }

    // Writes section "View" when the settings file is writable (also done at destruction).
    void WriteViewSettings();

    void StatusBarMouseMove(int x, int y);

    // Action handlers.
    void EditFindExecute();
    void HelpWebsiteExecute();
    void HelpUpdateExecute();
    void HelpAboutExecute();

protected:
    void SetClientWidget(QWidget* client);  // the area between the tool bars and the status bar
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    virtual QString WindowPanelHint(int panel) const;
    virtual void StatusBarClick() {}
    virtual void StatusBarDrawPanel(QPainter& painter, int panel, const QRect& rect);

    void FocusChanged(QWidget* old, QWidget* now);

    QTimer* FUpdateTimer;

private:
    QString FIniFileName;
    QVBoxLayout* FLayout;
    QWidget* FClient;
    bool FHints = true;
    bool FUpdateRunning = false;

    QAction* NewAction(const QString& text, const QString& hint, const QString& icon = QString(),
                       const QKeySequence& shortcut = QKeySequence());
    void ReadViewSettings();
    void ShowProgress();
    void HideProgress();
};
