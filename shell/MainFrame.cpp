#include "shell/MainFrame.h"

#include "foundation/core/AppUtils.h"
#include "platform/IniFiles.h"
#include "widgets/UiUtils.h"
#include "shell/MenuBar.h"
#include "shell/StatusPanels.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QString kView = QStringLiteral("View");

// The edit fields Find and the edit actions work on.
bool IsEditControl(const QWidget* w)
{
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w);
}

struct TEditState {
    QString Text;
    int SelStart = 0;
    int SelLength = 0;
    bool ReadOnly = false;
};

TEditState ReadEdit(QWidget* w)
{
    TEditState s;
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        s.Text = e->text();
        s.SelStart = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
        s.SelLength = e->hasSelectedText() ? int(e->selectedText().size()) : 0;
        s.ReadOnly = e->isReadOnly();
        return s;
    }
    QTextCursor c;
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
        s.Text = e->toPlainText();
        c = e->textCursor();
        s.ReadOnly = e->isReadOnly();
    } else if (auto* e = qobject_cast<QTextEdit*>(w)) {
        s.Text = e->toPlainText();
        c = e->textCursor();
        s.ReadOnly = e->isReadOnly();
    }
    s.SelStart = c.selectionStart();
    s.SelLength = c.selectionEnd() - c.selectionStart();
    return s;
}

void SelectInEdit(QWidget* w, int start, int length)
{
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setSelection(start, length);
        return;
    }
    auto select = [&](auto* e) {
        QTextCursor c = e->textCursor();
        c.setPosition(start);
        c.setPosition(start + length, QTextCursor::KeepAnchor);
        e->setTextCursor(c);
    };
    if (auto* e = qobject_cast<QPlainTextEdit*>(w))
        select(e);
    else if (auto* e = qobject_cast<QTextEdit*>(w))
        select(e);
}

}  // namespace

// The search dialog: search text and match case; searching always goes down.
class TFindDialog : public QDialog {
public:
    explicit TFindDialog(QWidget* parent) : QDialog(parent)
    {
        setWindowTitle(tr("Find"));
        edtText = new QLineEdit(this);
        chkMatchCase = new QCheckBox(tr("Match &case"), this);
        auto* buttons = new QDialogButtonBox(this);
        QPushButton* find = buttons->addButton(tr("&Find Next"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QDialogButtonBox::Cancel);
        find->setDefault(true);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(tr("Fi&nd what:"), this));
        row->addWidget(edtText);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(row);
        layout->addWidget(chkMatchCase);
        layout->addWidget(buttons);
        connect(find, &QPushButton::clicked, this, [this] {
            if (OnFind)
                OnFind(edtText->text(), chkMatchCase->isChecked());
        });
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    }
    QLineEdit* edtText;
    QCheckBox* chkMatchCase;
    std::function<void(const QString&, bool)> OnFind;
};

int ActionTag(const QAction* action)
{
    return action ? action->property("Tag").toInt() : 0;
}

void SetActionTag(QAction* action, int tag)
{
    if (action)
        action->setProperty("Tag", tag);
}

TFormMain::TFormMain(QWidget* parent, const QString& iniFileName)
    : QMainWindow(parent), FIniFileName(iniFileName.isEmpty() ? GetExeIniFileName() : iniFileName)
{
    // No display name for the application: the desktop would add it to every window's caption.
    setWindowTitle(ApplicationTitle());

    FileExit = NewAction(tr("E&xit"), tr("Exit the program"), QStringLiteral("application-exit"));
    File_Menu = nullptr;  // set below: the top-level items are the menus' own actions
    EditCut = NewAction(tr("Cu&t"), tr("Cut the selection to the clipboard"), QStringLiteral("edit-cut"),
                        QKeySequence(Qt::CTRL | Qt::Key_X));
    EditCopy = NewAction(tr("&Copy"), tr("Copy the selection to the clipboard"), QStringLiteral("edit-copy"),
                         QKeySequence(Qt::CTRL | Qt::Key_C));
    EditPaste = NewAction(tr("&Paste"), tr("Insert the clipboard"), QStringLiteral("edit-paste"),
                          QKeySequence(Qt::CTRL | Qt::Key_V));
    EditFind = NewAction(tr("&Find..."), tr("Find a text"), QStringLiteral("edit-find"),
                         QKeySequence(Qt::CTRL | Qt::Key_F));
    ViewFullscreen = NewAction(tr("&Full screen"), tr("Show the window on the whole screen"),
                               QStringLiteral("view-fullscreen"));
    ViewHints = NewAction(tr("&Hints"), tr("Show hints"));
    ViewMenu = NewAction(tr("&Menu"), tr("Show the menu"), QString(), QKeySequence(Qt::CTRL | Qt::Key_M));
    ViewToolbar = NewAction(tr("&Tool bar"), tr("Show the tool bar"));
    ViewStatusbar = NewAction(tr("&Status bar"), tr("Show the status bar"));
    HelpWebsite = NewAction(tr("&Website"), tr("Open the website"), QStringLiteral("internet-web-browser"));
    HelpUpdate = NewAction(tr("&Update"), tr("Check for a newer version"), QStringLiteral("system-software-update"));
    HelpAbout = NewAction(tr("&About"), tr("Show version information"), QStringLiteral("help-about"),
                          QKeySequence(Qt::Key_F1));
    for (QAction* a : {ViewFullscreen, ViewHints, ViewMenu, ViewToolbar, ViewStatusbar})
        a->setCheckable(true);

    mnuFile = menuBar()->addMenu(tr("&File"));
    mnuFile->addAction(FileExit);
    mnuEdit = menuBar()->addMenu(tr("&Edit"));
    mnuEdit->addActions({EditCut, EditCopy, EditPaste});
    mnuEdit->addSeparator();
    mnuEdit->addAction(EditFind);
    mnuView = menuBar()->addMenu(tr("&View"));
    mnuView->addActions({ViewFullscreen, ViewHints});
    ViewN1 = mnuView->addSeparator();
    mnuView->addActions({ViewMenu, ViewToolbar, ViewStatusbar});
    mnuHelp = menuBar()->addMenu(tr("&Help"));
    mnuHelp->addActions({HelpWebsite, HelpUpdate});
    mnuHelp->addSeparator();
    mnuHelp->addAction(HelpAbout);
    File_Menu = mnuFile->menuAction();
    Edit_Menu = mnuEdit->menuAction();
    View_Menu = mnuView->menuAction();
    Help_Menu = mnuHelp->menuAction();

    connect(FileExit, &QAction::triggered, this, &QWidget::close);
    connect(EditCut, &QAction::triggered, this, [] {
        if (QWidget* w = QApplication::focusWidget(); IsEditControl(w))
            QMetaObject::invokeMethod(w, "cut");
    });
    connect(EditCopy, &QAction::triggered, this, [] {
        if (QWidget* w = QApplication::focusWidget(); IsEditControl(w))
            QMetaObject::invokeMethod(w, "copy");
    });
    connect(EditPaste, &QAction::triggered, this, [] {
        if (QWidget* w = QApplication::focusWidget(); IsEditControl(w))
            QMetaObject::invokeMethod(w, "paste");
    });
    connect(EditFind, &QAction::triggered, this, &TFormMain::EditFindExecute);
    connect(ViewFullscreen, &QAction::triggered, this, &TFormMain::SetFullscreen);
    connect(ViewHints, &QAction::triggered, this, &TFormMain::SetHints);
    connect(ViewMenu, &QAction::triggered, this, &TFormMain::SetMenuVisible);
    connect(ViewToolbar, &QAction::triggered, this, &TFormMain::SetToolbarVisible);
    connect(ViewStatusbar, &QAction::triggered, this, &TFormMain::SetStatusbarVisible);
    connect(HelpWebsite, &QAction::triggered, this, &TFormMain::HelpWebsiteExecute);
    connect(HelpUpdate, &QAction::triggered, this, &TFormMain::HelpUpdateExecute);
    connect(HelpAbout, &QAction::triggered, this, &TFormMain::HelpAboutExecute);
    HelpWebsite->setVisible(!GetVersionInfoValue(QStringLiteral("website")).isEmpty());

    // Tool bars, client area and status bar, top to bottom.
    auto* host = new QWidget(this);
    FLayout = new QVBoxLayout(host);
    FLayout->setContentsMargins(0, 0, 0, 0);
    FLayout->setSpacing(0);
    MenuBar = new TMenuBar(this, host);
    MenuBar->SetFilename(FIniFileName);
    TopBevel = new QFrame(host);
    TopBevel->setFrameShape(QFrame::HLine);
    TopBevel->setFrameShadow(QFrame::Sunken);
    TopBevel->setFixedHeight(3);
    FClient = new QWidget(host);
    BevelStatus = new QFrame(host);
    BevelStatus->setFrameShape(QFrame::HLine);
    BevelStatus->setFrameShadow(QFrame::Sunken);
    BevelStatus->setFixedHeight(3);
    StatusBar = new TStatusPanels(host);
    FLayout->addWidget(MenuBar);
    FLayout->addWidget(TopBevel);
    FLayout->addWidget(FClient, 1);
    FLayout->addWidget(BevelStatus);
    FLayout->addWidget(StatusBar);
    setCentralWidget(host);

    StatusBar->Add({GetProductTitle(), 75, Qt::AlignHCenter, TPanelBevel::None, false});
    StatusBar->Add({QString(), 4, Qt::AlignLeft, TPanelBevel::Lowered, false});
    StatusBar->Add({QString(), 50, Qt::AlignLeft, TPanelBevel::None, false});
    StatusBar->OnMouseMove = [this](TStatusPanels*, int x, int y) { StatusBarMouseMove(x, y); };
    StatusBar->OnClick = [this](TStatusPanels*) { StatusBarClick(); };
    StatusBar->OnDblClick = [this](TStatusPanels*) {
        if (OverVersionPanel)
            ShowAboutBox(this, QString());
    };
    StatusBar->OnDrawPanel = [this](TStatusPanels*, QPainter& p, int i, const QRect& r) {
        StatusBarDrawPanel(p, i, r);
    };

    MenuBar->CreateToolbars();
    qApp->installEventFilter(this);
    ReadViewSettings();
    ProgressPosition = -1;
    ProgressProcessMessages = false;

    connect(qApp, &QApplication::focusChanged, this, &TFormMain::FocusChanged);
    FUpdateTimer = new QTimer(this);
    FUpdateTimer->setInterval(250);
    connect(FUpdateTimer, &QTimer::timeout, this, &TFormMain::UpdateActions);
    FUpdateTimer->start();
    UpdateActions();
}

TFormMain::~TFormMain()
{
    WriteViewSettings();
    // The children die after this body: nothing of theirs may call back into this class.
    disconnect(qApp, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    FUpdateTimer->stop();
    StatusBar->OnMouseMove = nullptr;
    StatusBar->OnClick = nullptr;
    StatusBar->OnDblClick = nullptr;
    StatusBar->OnDrawPanel = nullptr;
}

QString TFormMain::GetIniFileName() const
{
    return FIniFileName;
}

QAction* TFormMain::NewAction(const QString& text, const QString& hint, const QString& icon,
                              const QKeySequence& shortcut)
{
    auto* a = new QAction(text, this);
    a->setStatusTip(hint);
    a->setToolTip(hint);
    if (!icon.isEmpty())
        a->setIcon(ThemeIcon(icon));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    addAction(a);
    MainActions.append(a);
    return a;
}

void TFormMain::SetClientWidget(QWidget* client)
{
    if (!client || client == FClient)
        return;
    delete FLayout->replaceWidget(FClient, client);
    FClient->deleteLater();
    FClient = client;
    FLayout->setStretchFactor(client, 1);
}

void TFormMain::ReadViewSettings()
{
    TIniFile ini(FIniFileName);
    SetFullscreen(ini.ReadBool(kView, QStringLiteral("Fullscreen"), false));
    SetHints(ini.ReadBool(kView, QStringLiteral("Hints"), true));
    SetMenuVisible(ini.ReadBool(kView, QStringLiteral("Menu"), true));
    SetToolbarVisible(ini.ReadBool(kView, QStringLiteral("Toolbar"), true));
    SetStatusbarVisible(ini.ReadBool(kView, QStringLiteral("Statusbar"), true));
}

void TFormMain::WriteViewSettings()
{
    if (!IsFileWritable(FIniFileName))
        return;
    TIniFile ini(FIniFileName);
    ini.WriteBool(kView, QStringLiteral("Fullscreen"), bool(windowState() & Qt::WindowFullScreen));
    ini.WriteBool(kView, QStringLiteral("Hints"), ViewHints->isChecked());
    ini.WriteBool(kView, QStringLiteral("Menu"), menuBar()->isVisibleTo(this));
    ini.WriteBool(kView, QStringLiteral("Toolbar"), MenuBar->isVisibleTo(this));
    ini.WriteBool(kView, QStringLiteral("Statusbar"), StatusBar->isVisibleTo(this));
    ini.UpdateFile();
}

void TFormMain::SetFullscreen(bool value)
{
    if (MDIChildCount() > 0 && value != bool(windowState() & Qt::WindowFullScreen)) {
        ShowMessageBox(this, QMessageBox::Warning,
                       tr("Please close all windows before switching from/to full screen"));
    } else if (value) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowFullScreen);
    } else {
        setWindowState(windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized));
    }
    ViewFullscreen->setChecked(bool(windowState() & Qt::WindowFullScreen));
}

void TFormMain::SetHints(bool value)
{
    FHints = value;
    ViewHints->setChecked(value);
}

void TFormMain::SetMenuVisible(bool value)
{
    // The items themselves stay as their tags say, so the tool bars built from them survive.
    for (QAction* item : menuBar()->actions())
        item->setVisible(ActionTag(item) >= 0);
    menuBar()->setVisible(value);
    TopBevel->setVisible(value && !MenuBar->isVisibleTo(this));
    ViewMenu->setChecked(value);
}

void TFormMain::SetToolbarVisible(bool value)
{
    MenuBar->setVisible(value);
    TopBevel->setVisible(!value && !IsMDIForm());
    ViewToolbar->setChecked(value);
}

void TFormMain::SetStatusbarVisible(bool value)
{
    StatusBar->setVisible(value);
    BevelStatus->setVisible(value && !IsMDIForm());
    ViewStatusbar->setChecked(value);
}

void TFormMain::SetStatusText(const QString& text)
{
    if (StatusBar->Count() > 2)
        StatusBar->SetPanelText(2, text);
}

bool TFormMain::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        SetStatusText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    // Hints off: no tool tips anywhere in the program.
    if (event->type() == QEvent::ToolTip && !FHints)
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::FocusChanged(QWidget*, QWidget* now)
{
    // Focus moving to the Find dialog or to another window keeps the target.
    if (now && now->window() == this) {
        if (IsEditControl(now))
            FindEdit = now;
        else
            FindEdit = nullptr;
    }
    UpdateActions();
}

void TFormMain::UpdateActions()
{
    QWidget* focus = QApplication::focusWidget();
    const bool edit = IsEditControl(focus);
    const TEditState state = edit ? ReadEdit(focus) : TEditState();
    EditCut->setEnabled(edit && state.SelLength > 0 && !state.ReadOnly);
    EditCopy->setEnabled(edit && state.SelLength > 0);
    EditPaste->setEnabled(edit && !state.ReadOnly && !QGuiApplication::clipboard()->text().isEmpty());
    EditFind->setEnabled(!FindEdit.isNull());
    HelpUpdate->setEnabled(!UpdateAddress.isEmpty() && !FUpdateRunning);
}

void TFormMain::EditFindExecute()
{
    if (!FindEdit) {
        QApplication::beep();
        return;
    }
    if (!FindDialog) {
        FindDialog = new TFindDialog(this);
        FindDialog->OnFind = [this](const QString& what, bool matchCase) { FindText(what, matchCase); };
    }
    FindDialog->show();
    FindDialog->raise();
    FindDialog->activateWindow();
}

bool TFormMain::FindText(const QString& what, bool matchCase)
{
    QWidget* edit = FindEdit;
    if (!edit || what.isEmpty()) {
        QApplication::beep();
        return false;
    }
    const TEditState state = ReadEdit(edit);
    const qsizetype hit = state.Text.indexOf(what, state.SelStart + state.SelLength,
                                             matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    if (hit < 0) {
        QApplication::beep();
        return false;
    }
    edit->setFocus();
    SelectInEdit(edit, int(hit), int(what.size()));
    return true;
}

void TFormMain::HelpWebsiteExecute()
{
    OpenDocument(GetVersionInfoValue(QStringLiteral("website")));
}

void TFormMain::HelpUpdateExecute()
{
    if (MDIChildCount() > 0) {
        ShowMessageBox(this, QMessageBox::Warning, tr("Please close all windows before updating"));
        return;
    }
    FUpdateRunning = true;
    HelpUpdate->setEnabled(false);
    const bool found = CheckForUpdate && CheckForUpdate(UpdateAddress);
    if (!found)
        ShowMessageBox(this, QMessageBox::Information,
                       tr("No update available.") + QLatin1Char('\n') +
                           tr("You're already running the latest version") + QLatin1Char('\n') +
                           tr("of ") + ApplicationTitle() + QStringLiteral(" (") +
                           GetFileVersion() + QStringLiteral(")."));
    FUpdateRunning = false;
    UpdateActions();
}

void TFormMain::HelpAboutExecute()
{
    ShowAboutBox(this, QString());
}

void TFormMain::StatusBarMouseMove(int x, int)
{
    HoverPanel = StatusBar->PanelAt(x);
    OverVersionPanel = StatusBar->Count() > 0 && x > 0 && x < StatusBar->Panel(0).Width;
    StatusBar->setToolTip(OverVersionPanel ? tr("Shows version information") : WindowPanelHint(HoverPanel));
}

QString TFormMain::WindowPanelHint(int) const
{
    return QString();
}

void TFormMain::StatusBarDrawPanel(QPainter&, int, const QRect&)
{
    // Panel 0 is owner-drawn while the progress bar covers it.
}

void TFormMain::SetProgress(int percent)
{
    if (percent == ProgressPosition)
        return;
    if (percent < 0) {
        ProgressPosition = -1;
        HideProgress();
        return;
    }
    ProgressPosition = std::min(percent, 100);
    ShowProgress();
}

void TFormMain::SetProgressFraction(double fraction)
{
    const double percent = fraction * 100.0;
    if (!(percent >= 0.0)) {  // negative or not a number
        SetProgress(-1);
        return;
    }
    SetProgress(percent > 100.0 ? 100 : int(std::nearbyint(percent)));
}

void TFormMain::ShowProgress()
{
    StatusBar->Panel(0).OwnerDraw = true;
    if (!ProgressBar) {
        ProgressBar = new QProgressBar(StatusBar);
        ProgressBar->setRange(0, 100);
        ProgressBar->setTextVisible(false);
        ProgressBar->setGeometry(1, 1, StatusBar->Panel(0).Width + 3, StatusBar->height() - 1);
    }
    ProgressBar->setVisible(true);
    ProgressBar->setValue(ProgressPosition);
    ProgressBar->repaint();
    if (ProgressProcessMessages)
        QCoreApplication::processEvents();
}

void TFormMain::HideProgress()
{
    StatusBar->Panel(0).OwnerDraw = false;
    if (ProgressBar)
        ProgressBar->setVisible(false);
    StatusBar->update();
}
