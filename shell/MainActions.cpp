// The main window's actions: the File, Edit, View, Analyse and Help commands, their enable rules
// by the kind of the active child window, the two shortcut schemes, the Layout submenu with the
// row window's layout files, and the Help items of the manuals.
#include "shell/MainWindow.h"

#include "analysis/ForceCurveWindow.h"
#include "analysis/StrokeDataWindow.h"
#include "foundation/core/AppUtils.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/TrainingFiles.h"
#include "session/RowWindow.h"
#include "update/UpdateDialog.h"
#include "session/TrainingWindow.h"
#include "widgets/UiUtils.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

// The manuals of the Help menu, in menu order: letter, caption, hint, Tag.
struct THelpDocument {
    const char* Letter;
    const char* Caption;
    const char* Hint;
    int Tag;
};
constexpr THelpDocument kHelpDocuments[] = {
    {"f", "&Flyer", "Opens the promo flyer", 3},
    {"q", "&Quick Start Guide", "Opens the Quick Start Guide", 2},
    {"m", "&Manual", "Opens the manual", 1},
};

const char* HelpLetterOfTag(int tag)
{
    for (const THelpDocument& doc : kHelpDocuments)
        if (doc.Tag == tag)
            return doc.Letter;
    return nullptr;
}

bool IsChartKind(TChildKind kind)
{
    return kind == TChildKind::StrokeData || kind == TChildKind::ForceCurves;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Creation

QAction* TfrmMain::NewMainAction(const QString& name, const QString& caption, const QString& hint,
                                 const QString& icon, const QKeySequence& shortcut)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    // A hint is "short|long": the short text is the tool tip, the long one goes to the status bar.
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    a->setToolTip(bar < 0 ? hint : hint.left(bar));
    a->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
    if (!icon.isEmpty())
        a->setIcon(ThemeIcon(icon));
    a->setShortcut(shortcut);
    addAction(a);
    MainActions.append(a);
    return a;
}

void TfrmMain::CreateMainActions()
{
    FileStart = NewMainAction(QStringLiteral("FileStart"), tr("Start ..."), tr("Start|Select what to start with"));
    FileBrowse = NewMainAction(QStringLiteral("FileBrowse"), tr("&Browse ..."), tr("Browse|Browse for files"),
                               QString(), QKeySequence(Qt::CTRL | Qt::Key_B));
    FileDatabase = NewMainAction(QStringLiteral("FileDatabase"), tr("&Database ..."),
                                 tr("Database|Open training in the database"), QString(),
                                 QKeySequence(Qt::CTRL | Qt::Key_D));
    FileCalendar = NewMainAction(QStringLiteral("FileCalendar"), tr("&Calendar ..."), tr("Calendar|Open training calendar"));
    FileClose = NewMainAction(QStringLiteral("FileClose"), tr("&Close"), tr("Close|Close current window"),
                              QStringLiteral("window-close"));
    FileSave = NewMainAction(QStringLiteral("FileSave"), tr("&Save"), tr("Save|Save the current file"),
                             QStringLiteral("document-save"), QKeySequence(Qt::CTRL | Qt::Key_S));
    FileSaveAs = NewMainAction(QStringLiteral("FileSaveAs"), tr("Save &As ..."),
                               tr("Save As|Save the current file under a different name"),
                               QStringLiteral("document-save-as"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
    FileSaveChart = NewMainAction(QStringLiteral("FileSaveChart"), tr("Sa&ve Chart ..."),
                                  tr("Save Chart|Save the current chart as a picture"),
                                  QStringLiteral("image-x-generic"));
    FileSaveDesktop = NewMainAction(QStringLiteral("FileSaveDesktop"), tr("Save &Desktop ..."),
                                    tr("Save Desktop|Save the current windows as a KELO Desktop file"));
    EditCopyChart = NewMainAction(QStringLiteral("EditCopyChart"), tr("C&opy Chart"),
                                  tr("Copy chart|Copies the chart and puts it on the Clipboard"));
    ViewRow = NewMainAction(QStringLiteral("ViewRow"), tr("&Row ..."),
                            tr("Start rowing|Start rowing and record a training session"), QStringLiteral("media-playback-start"),
                            QKeySequence(Qt::CTRL | Qt::Key_R));
    ViewTraining = NewMainAction(QStringLiteral("ViewTraining"), tr("Trainin&g ..."),
                                 tr("Training|Switch to training window"), QStringLiteral("document-properties"),
                                 QKeySequence(Qt::CTRL | Qt::Key_T));
    ViewClients = NewMainAction(QStringLiteral("ViewClients"), tr("&Row clients ..."),
                                tr("Row clients|Show a list of row clients"));
    ViewSynchronise = NewMainAction(
        QStringLiteral("ViewSynchronise"), tr("S&ynchronised connect ..."),
        tr("Synchronise clients|Allows row clients to connect to the interface at the same time"));
    ViewUsers = NewMainAction(QStringLiteral("ViewUsers"), tr("&Users ..."), QString());
    ViewOptions = NewMainAction(QStringLiteral("ViewOptions"), tr("&Options ..."), tr("Options|Set program options"));
    LayoutData = NewMainAction(QStringLiteral("LayoutData"), tr("&Data area"), tr("Bottom area|Show data area"));
    LayoutTrainings = NewMainAction(QStringLiteral("LayoutTrainings"), tr("&Training sessions list"),
                                    tr("Training sessions list|Show training sessions list"));
    LayoutLeftChart = NewMainAction(QStringLiteral("LayoutLeftChart"), tr("&Left chart"),
                                    tr("Left chart|Show left chart area"));
    LayoutRightChart = NewMainAction(QStringLiteral("LayoutRightChart"), tr("Right &chart"),
                                     tr("Right chart|Show right chart area"));
    LayoutRightValues = NewMainAction(QStringLiteral("LayoutRightValues"), tr("Right &values"),
                                      tr("Right values|Show right value area"));
    LayoutBottomValues = NewMainAction(QStringLiteral("LayoutBottomValues"), tr("&Bottom values"),
                                       tr("Bottom values|Show bottom value area"));
    LayoutSaveAs = NewMainAction(QStringLiteral("LayoutSaveAs"), tr("&Save Layout As ..."),
                                 tr("Save layout|Save the current row window layout"));
    LayoutOpen = NewMainAction(QStringLiteral("LayoutOpen"), tr("..open..."), tr("Open layout|Open window layout ..."));
    AnalyseSummary = NewMainAction(QStringLiteral("AnalyseSummary"), tr("&Summary ..."),
                                   tr("Summary|Analyse training summary"));
    AnalyseIntervals = NewMainAction(QStringLiteral("AnalyseIntervals"), tr("&Intervals ..."),
                                     tr("Intervals|Analyse training intervals"));
    AnalyseStrokeData = NewMainAction(QStringLiteral("AnalyseStrokeData"), tr("Stroke &Data ..."),
                                      tr("Stroke Data|Analyse stroke data"), QStringLiteral("office-chart-line"));
    AnalyseForceCurves = NewMainAction(QStringLiteral("AnalyseForceCurves"), tr("&Force Curves ..."),
                                       tr("Force Curves|Analyse force curves"), QStringLiteral("office-chart-area"));
    AnalyseSession = NewMainAction(QStringLiteral("AnalyseSession"), tr("Sessio&n ..."),
                                   tr("Session|Analyse entire training session"));
    AnalyseRace = NewMainAction(QStringLiteral("AnalyseRace"), tr("&Race ..."),
                                tr("(Re-)view race|(Re-)view a race by \"playing\" trainingsessions"));
    HelpWelcome = NewMainAction(QStringLiteral("HelpWelcome"), tr("W&elcome ..."), tr("Welcome|Shows Welcome dialog"));
    FileStart->setCheckable(true);
    for (QAction* a : {LayoutData, LayoutTrainings, LayoutLeftChart, LayoutRightChart, LayoutRightValues,
                       LayoutBottomValues})
        a->setCheckable(true);

    // File: Start, New, Open, Browse, Database, Calendar, Close, -, Save ..., - (recent files), Exit.
    mnuFile->insertAction(FileNew, FileStart);
    mnuFile->insertActions(N3, {FileBrowse, FileDatabase, FileCalendar, FileClose});
    N5 = mnuFile->insertSeparator(N3);
    mnuFile->insertActions(N3, {FileSave, FileSaveAs, FileSaveChart, FileSaveDesktop});

    N4 = mnuEdit->addSeparator();
    mnuEdit->addAction(EditCopyChart);

    // View: the session windows, Options and Layout, then the frame's view toggles.
    QAction* firstToggle = mnuView->actions().value(0);
    mnuView->insertActions(firstToggle, {ViewRow, ViewTraining, ViewClients, ViewSynchronise, ViewUsers});
    N7 = mnuView->insertSeparator(firstToggle);
    mnuView->insertAction(firstToggle, ViewOptions);
    mnuLayout = new QMenu(tr("&Layout"), this);
    Layout_Menu = mnuLayout->menuAction();
    Layout_Menu->setObjectName(QStringLiteral("Layout_Menu"));
    Layout_Menu->setToolTip(tr("Layout"));
    Layout_Menu->setStatusTip(tr("Set window layout"));
    mnuLayout->addActions({LayoutData, LayoutTrainings, LayoutLeftChart, LayoutRightChart, LayoutRightValues,
                           LayoutBottomValues});
    LayoutN1 = mnuLayout->addSeparator();
    mnuLayout->addAction(LayoutSaveAs);
    mnuView->insertMenu(firstToggle, mnuLayout);
    N1 = mnuView->insertSeparator(firstToggle);

    mnuAnalyse = new QMenu(tr("&Analyse"), this);
    mnuAnalyse->addActions(
        {AnalyseSummary, AnalyseIntervals, AnalyseStrokeData, AnalyseForceCurves, AnalyseSession, AnalyseRace});
    menuBar()->insertMenu(Window_Menu, mnuAnalyse);
    Analyse_Menu = mnuAnalyse->menuAction();

    mnuHelp->insertAction(mnuHelp->actions().value(0), HelpWelcome);

    // Exit clears the start flag first.
    disconnect(FileExit, &QAction::triggered, this, nullptr);
    connect(FileExit, &QAction::triggered, this, [this] {
        FileStart->setChecked(false);
        close();
    });
    connect(FileClose, &QAction::triggered, this, [this] { MdiArea->closeActiveSubWindow(); });
    connect(FileSave, &QAction::triggered, this, &TfrmMain::FileSaveExecute);
    connect(FileSaveAs, &QAction::triggered, this, &TfrmMain::FileSaveAsExecute);
    const auto exportPicture = [this](bool toFile) {
        QWidget* child = ActiveMDIChild();
        if (IsChartKind(ChildKind(child)) && ExportChartPicture)
            ExportChartPicture(child, toFile);
    };
    connect(FileSaveChart, &QAction::triggered, this, [exportPicture] { exportPicture(true); });
    connect(EditCopyChart, &QAction::triggered, this, [exportPicture] { exportPicture(false); });
    connect(ViewRow, &QAction::triggered, this, [this] { OpenRowWindow(GetUserIniFileName(false), QString()); });
    connect(ViewTraining, &QAction::triggered, this, &TfrmMain::ViewTrainingExecute);
    connect(AnalyseStrokeData, &QAction::triggered, this, [this] {
        if (ShowStrokeData)
            ShowStrokeData(this);
    });
    connect(AnalyseForceCurves, &QAction::triggered, this, [this] {
        if (ShowForceCurves)
            ShowForceCurves(this);
    });
    for (QAction* a : {LayoutData, LayoutTrainings, LayoutLeftChart, LayoutRightChart, LayoutRightValues,
                       LayoutBottomValues})
        connect(a, &QAction::triggered, this, [this, a](bool checked) { LayoutExecute(a, checked); });
    connect(mnuLayout, &QMenu::aboutToShow, this, &TfrmMain::LayoutMenuExecute);
    connect(LayoutOpen, &QAction::triggered, this, [this] { LayoutOpenExecute(LayoutOpen->data().toString()); });
    connect(LayoutSaveAs, &QAction::triggered, this, &TfrmMain::LayoutSaveAsExecute);
    // FileStart, FileBrowse, FileDatabase, FileCalendar, FileSaveDesktop, the other Analyse
    // items, ViewClients, ViewUsers, ViewSynchronise, ViewOptions and HelpWelcome have nothing
    // to do yet; FileStart only keeps its flag.
    connect(FileStart, &QAction::triggered, this, [this] { FileStart->setChecked(true); });

    // What the program does not offer yet stays out of sight.
    for (QAction* a : {FileBrowse, FileCalendar, FileDatabase, FileSaveDesktop, AnalyseSummary, AnalyseIntervals,
                       AnalyseSession, AnalyseRace, ViewClients, ViewSynchronise, ViewUsers, ViewOptions, Layout_Menu,
                       FileStart, HelpWelcome})
        a->setVisible(false);
    const auto anyVisible = [](std::initializer_list<QAction*> actions) {
        return std::any_of(actions.begin(), actions.end(), [](QAction* a) { return a->isVisible(); });
    };
    N7->setVisible(anyVisible({ViewRow, ViewTraining, ViewClients, ViewSynchronise, ViewUsers}));
    N1->setVisible(anyVisible({ViewOptions, Layout_Menu}));
    ViewN1->setVisible(anyVisible({ViewFullscreen, ViewHints}));

    if (!ManualFileName)
        ManualFileName = [](const QString& letter) { return GetManualFileName(letter); };
    if (!OpenHelpDocument)
        OpenHelpDocument = [](const QString& fileName) { return OpenDocument(fileName); };
    AddHelpDocuments();
    WireWindows();
    SetShortCuts();
}

void TfrmMain::WireWindows()
{
    CheckForUpdate = [this](const QString& address) {
        QString error;
        switch (::CheckForUpdate(address, this, &error)) {
        case ucNoUpdate:
            return false;  // the frame says so
        case ucFailed:
            ShowMessageBox(this, QMessageBox::Warning,
                           tr("The check for a new version at %1 failed:").arg(address) + QLatin1Char('\n') + error);
            return true;
        case ucOffered:
        case ucCancelled:
            break;
        }
        return true;
    };
    ShowStrokeData = [](TfrmMain* main) { ::ShowStrokeData(main); };
    ShowForceCurves = [](TfrmMain* main) { OpenForceCurveWindow(main); };
    RowTrainingId = [](QWidget* row) {
        if (auto* window = qobject_cast<TfrmRow*>(row))
            return window->TrainingWindow() ? window->TrainingWindow()->TrainingId : 0;
        return row ? row->property("TrainingId").toInt() : 0;
    };
    ChildLayoutFlag = [this](QWidget* child, QAction* layout) {
        if (auto* row = qobject_cast<TfrmRow*>(child)) {
            const std::pair<QAction*, bool> flags[] = {{LayoutLeftChart, row->LeftChart},
                                                       {LayoutRightChart, row->RightChart},
                                                       {LayoutRightValues, row->RightValues},
                                                       {LayoutBottomValues, row->BottomValues}};
            for (const auto& [action, flag] : flags)
                if (action == layout)
                    return flag;
        } else if (auto* chart = qobject_cast<TfrmChart*>(child)) {
            if (layout == LayoutData)
                return chart->FDataVisible;
            if (layout == LayoutTrainings)
                return chart->FTrainingsVisible;
        }
        return false;
    };
    // The windows lay themselves out from the main window's actions once they have them.
    ApplyChildLayout = [this](QWidget* child, QAction* layout) {
        if (auto* row = qobject_cast<TfrmRow*>(child)) {
            row->LayoutLeftChart = LayoutLeftChart;
            row->LayoutRightChart = LayoutRightChart;
            row->LayoutRightValues = LayoutRightValues;
            row->LayoutBottomValues = LayoutBottomValues;
            row->ApplyLayout(layout);
        } else if (auto* chart = qobject_cast<TfrmChart*>(child)) {
            chart->SetLayoutActions(LayoutData, LayoutTrainings);
            chart->ApplyLayout(layout);
        }
    };
    ExportChartPicture = [](QWidget* child, bool toFile) {
        auto* chart = qobject_cast<TfrmChart*>(child);
        return chart && chart->ExportChartPicture(toFile);
    };
    ExportStrokeFile = [](QWidget* child) {
        auto* window = qobject_cast<TfrmForceCurves*>(child);
        return window && window->ExportStrokeFile();
    };
    LoadRowLayout = [](QWidget* child, const QString& fileName) {
        if (auto* row = qobject_cast<TfrmRow*>(child))
            row->LoadLayout(fileName, 0);
    };
    SaveRowLayout = [](QWidget* child, const QString& fileName) {
        if (auto* row = qobject_cast<TfrmRow*>(child))
            row->SaveLayout(fileName);
    };
}

// ---------------------------------------------------------------------------------------------
// Shortcuts

void TfrmMain::SetShortCuts()
{
    const bool keys = ShortcutScheme == 1;
    HelpAbout->setShortcut(keys ? QKeySequence() : QKeySequence(Qt::Key_F1));
    if (!AnalyseStrokeData)
        return;  // LoadSettings runs before the actions exist; the creation applies it again
    AnalyseStrokeData->setShortcut(keys ? QKeySequence(Qt::Key_F1) : QKeySequence());
    AnalyseForceCurves->setShortcut(keys ? QKeySequence(Qt::Key_F3) : QKeySequence());
    ViewTraining->setShortcut(keys ? QKeySequence(Qt::Key_F6) : QKeySequence(Qt::CTRL | Qt::Key_T));
    FileSaveAs->setShortcut(keys ? QKeySequence(Qt::Key_F8) : QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
    FileOpen->setShortcut(keys ? QKeySequence(Qt::Key_F9) : QKeySequence(Qt::CTRL | Qt::Key_O));
}

// ---------------------------------------------------------------------------------------------
// Child windows

TChildKind TfrmMain::ChildKind(const QWidget* child) const
{
    if (!child)
        return TChildKind::None;
    if (child == frmRow)
        return TChildKind::Row;
    if (child == frmStrokeData)
        return TChildKind::StrokeData;
    if (child == frmForceCurves)
        return TChildKind::ForceCurves;
    if (qobject_cast<const TfrmTraining*>(child))
        return TChildKind::Training;
    return TChildKind::Other;
}

TChildKind TfrmMain::ActiveChildKind() const
{
    return ChildKind(ActiveMDIChild());
}

TfrmTraining* TfrmMain::RowTrainingWindow() const
{
    if (!frmRow || !RowTrainingId)
        return nullptr;
    return TrainingWindowById(RowTrainingId(frmRow));
}

TfrmTraining* TfrmMain::SaveTarget() const
{
    QWidget* child = ActiveMDIChild();
    switch (ChildKind(child)) {
    case TChildKind::Training: {
        auto* window = static_cast<TfrmTraining*>(child);
        return window->Closing ? nullptr : window;
    }
    case TChildKind::Row:
        return RowTrainingWindow();
    default:
        return nullptr;
    }
}

bool TfrmMain::LayoutChecked(QAction* action) const
{
    QWidget* child = ActiveMDIChild();
    const TChildKind kind = ChildKind(child);
    if ((kind != TChildKind::Row && !IsChartKind(kind)) || !ChildLayoutFlag)
        return false;
    return ChildLayoutFlag(child, action);
}

// ---------------------------------------------------------------------------------------------
// Enable rules

void TfrmMain::UpdateActions()
{
    TMDIMain::UpdateActions();
    if (!FileSave)
        return;  // the frame's constructor: the actions come later
    QWidget* child = ActiveMDIChild();
    const TChildKind kind = ChildKind(child);
    const bool chart = IsChartKind(kind);
    const bool row = kind == TChildKind::Row;
    const bool trainings = TrainingCount() >= 1;
    const TfrmTraining* target = SaveTarget();

    FileStart->setEnabled(MDIChildCount() == 0);
    FileClose->setEnabled(child != nullptr);
    FileSave->setEnabled(target && target->Training.Header.Modified != 0);
    FileSaveAs->setEnabled(kind == TChildKind::Training || row || kind == TChildKind::ForceCurves);
    FileSaveChart->setEnabled(chart);
    EditCopyChart->setEnabled(chart);
    FileSaveDesktop->setEnabled(MDIChildCount() > 0);
    ViewTraining->setEnabled(!frmRow.isNull());
    for (QAction* a : {AnalyseStrokeData, AnalyseForceCurves, AnalyseSession, AnalyseSummary, AnalyseIntervals,
                       AnalyseRace})
        a->setEnabled(trainings);
    ViewClients->setEnabled(true);
    ViewUsers->setEnabled(true);
    ViewSynchronise->setEnabled(false);
    ViewOptions->setEnabled(false);

    Layout_Menu->setEnabled(chart || row);
    for (QAction* a : {LayoutData, LayoutTrainings}) {
        a->setVisible(chart);
        if (chart)
            a->setChecked(LayoutChecked(a));
    }
    for (QAction* a : {LayoutLeftChart, LayoutRightChart, LayoutRightValues, LayoutBottomValues}) {
        a->setVisible(row);
        if (row)
            a->setChecked(LayoutChecked(a));
    }
    LayoutN1->setVisible(row);
    LayoutSaveAs->setVisible(row);

    for (QAction* item : HelpDocumentItems)
        if (const char* letter = HelpLetterOfTag(ActionTag(item)); letter && !item->isSeparator())
            item->setEnabled(QFileInfo::exists(ManualFileName(QLatin1String(letter))));
}

// ---------------------------------------------------------------------------------------------
// Execute rules

void TfrmMain::FileSaveExecute()
{
    if (TfrmTraining* window = SaveTarget())
        window->SaveToFile(TrainingDisplayName(window->Training));
    UpdateActions();
}

void TfrmMain::FileSaveAsExecute()
{
    QWidget* child = ActiveMDIChild();
    switch (ChildKind(child)) {
    case TChildKind::Training:
    case TChildKind::Row:
        if (TfrmTraining* window = SaveTarget())
            window->SaveToFile(QString());
        break;
    case TChildKind::ForceCurves:
        if (ExportStrokeFile)
            ExportStrokeFile(child);
        break;
    default:
        break;
    }
    UpdateActions();
}

void TfrmMain::ViewTrainingExecute()
{
    if (frmRow)
        ShowChild(RowTrainingWindow());
}

// ---------------------------------------------------------------------------------------------
// Layouts

void TfrmMain::LayoutExecute(QAction* action, bool checked)
{
    QWidget* child = ActiveMDIChild();
    const TChildKind kind = ChildKind(child);
    if ((kind != TChildKind::Row && !IsChartKind(kind)) || !ApplyChildLayout)
        return;
    // The window toggles the check itself: Qt's own toggle is taken back first.
    action->setChecked(!checked);
    ApplyChildLayout(child, action);
}

QStringList TfrmMain::LayoutFileNames() const
{
    QDir dir(GetUserDataFolder());
    dir.setNameFilters({QStringLiteral("*.srl")});
    dir.setFilter(QDir::Files | QDir::Hidden | QDir::System);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    return dir.entryList();
}

void TfrmMain::LayoutMenuExecute()
{
    for (QAction* item : LayoutFileItems) {
        mnuLayout->removeAction(item);
        item->deleteLater();
    }
    LayoutFileItems.clear();
    if (ActiveChildKind() != TChildKind::Row)
        return;
    const QString folder = GetUserDataFolder();
    for (const QString& name : LayoutFileNames()) {
        auto* item = new QAction(name, mnuLayout);
        item->setToolTip(tr("Open layout"));
        item->setStatusTip(tr("Open row window layout \"%1\"").arg(name));
        const QString fileName = QDir(folder).filePath(name);
        connect(item, &QAction::triggered, this, [this, fileName] {
            LayoutOpen->setData(fileName);
            LayoutOpen->trigger();
        });
        mnuLayout->addAction(item);
        LayoutFileItems << item;
    }
}

void TfrmMain::LayoutOpenExecute(const QString& fileName)
{
    if (frmRow && LoadRowLayout && !fileName.isEmpty() && QFileInfo(fileName).isFile())
        LoadRowLayout(frmRow, fileName);
}

void TfrmMain::LayoutSaveAsExecute()
{
    if (!frmRow || !SaveRowLayout)
        return;
    TSaveDialogRequest request;
    request.Title = tr("Save layout");
    request.Filter = QStringLiteral("Row window layouts (*.srl)|*.srl|");
    request.DefaultExt = QStringLiteral("srl");
    request.InitialDir = GetUserDataFolder();
    request.OverwritePrompt = true;
    request.PathMustExist = true;
    if (PromptSaveFileName(request) && !request.FileName.isEmpty())
        SaveRowLayout(frmRow, request.FileName);
}

// ---------------------------------------------------------------------------------------------
// Help documents

void TfrmMain::AddHelpDocuments()
{
    for (QAction* item : HelpDocumentItems) {
        mnuHelp->removeAction(item);
        item->deleteLater();
    }
    HelpDocumentItems.clear();
    int added = 0;
    for (const THelpDocument& doc : kHelpDocuments) {
        if (!QFileInfo::exists(ManualFileName(QLatin1String(doc.Letter))))
            continue;
        auto* item = new QAction(tr(doc.Caption), this);
        item->setStatusTip(tr(doc.Hint));
        item->setToolTip(tr(doc.Hint));
        item->setIcon(ThemeIcon(QStringLiteral("help-contents")));
        SetActionTag(item, doc.Tag);
        connect(item, &QAction::triggered, this, [this, tag = doc.Tag] { HelpPDFExecute(tag); });
        mnuHelp->insertAction(mnuHelp->actions().value(added), item);
        HelpDocumentItems << item;
        ++added;
    }
    if (added > 0)
        HelpDocumentItems << mnuHelp->insertSeparator(mnuHelp->actions().value(added));
}

void TfrmMain::HelpPDFExecute(int tag)
{
    if (const char* letter = HelpLetterOfTag(tag); letter && OpenHelpDocument)
        OpenHelpDocument(ManualFileName(QLatin1String(letter)));
}
