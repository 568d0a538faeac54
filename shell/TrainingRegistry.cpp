// The main window's training registry: the training windows counted, numbered and found, the
// spare records, opening files, new trainings, the recent-file list and the row window's start.
#include "shell/MainWindow.h"

#include "foundation/core/AppUtils.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"
#include "session/TrainingWindow.h"
#include "shell/StatusPanels.h"
#include "shell/TrainingViews.h"
#include "shell/UiPrompt.h"
#include "widgets/UiUtils.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScopeGuard>
#include <algorithm>
#include <sys/stat.h>

bool RowWindowOpening = false;

namespace {

constexpr int kRecentMax = 8;
constexpr int kRecentMenuWidth = 200;
constexpr int kDistinctColours = 14;

TTrainingViews* ViewsOf(QWidget* window)
{
    return dynamic_cast<TTrainingViews*>(window);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Counting and finding

TTraining& TfrmMain::SpareTraining(int id)
{
    return SpareTrainings[std::size_t(std::clamp(-id, 1, 4) - 1)];
}

QList<TfrmTraining*> TfrmMain::TrainingWindows() const
{
    QList<TfrmTraining*> result;
    for (QMdiSubWindow* sub : MdiArea->subWindowList(QMdiArea::CreationOrder))
        if (auto* window = qobject_cast<TfrmTraining*>(sub->widget()); window && !window->Closing)
            result.append(window);
    // Ids grow with every new window: one order for the whole run, whatever is in front.
    std::stable_sort(result.begin(), result.end(),
                     [](const TfrmTraining* a, const TfrmTraining* b) { return a->TrainingId < b->TrainingId; });
    return result;
}

int TfrmMain::TrainingCount() const
{
    return int(TrainingWindows().size());
}

TfrmTraining* TfrmMain::TrainingWindow(int n) const
{
    const QList<TfrmTraining*> windows = TrainingWindows();
    return n >= 0 && n < windows.size() ? windows[n] : nullptr;
}

TfrmTraining* TfrmMain::TrainingWindowById(int id) const
{
    for (TfrmTraining* window : TrainingWindows())
        if (window->TrainingId == id)
            return window;
    return nullptr;
}

int TfrmMain::IndexOfTraining(int id) const
{
    TfrmTraining* window = TrainingWindowById(id);
    return window ? int(MDIChildren().indexOf(window)) : -1;
}

int TfrmMain::ChildIndexOfTraining(int n) const
{
    TfrmTraining* window = TrainingWindow(n);
    return window ? int(MDIChildren().indexOf(window)) : -1;
}

int TfrmMain::TrainingId(int n) const
{
    TfrmTraining* window = TrainingWindow(n);
    return window ? window->TrainingId : -1;
}

void TfrmMain::GetTraining(int n, TTraining& training) const
{
    training = TTraining{};
    const QList<TfrmTraining*> windows = TrainingWindows();
    const int count = int(windows.size());
    if (n >= 0 && n < count)
        training = windows[n]->Training;
    else if (n >= count && n < count + 4)
        training = SpareTrainings[std::size_t(n - count)];
}

TTraining* TfrmMain::TrainingPtr(int n)
{
    const QList<TfrmTraining*> windows = TrainingWindows();
    const int count = int(windows.size());
    if (n >= 0 && n < count)
        return &windows[n]->Training;
    if (n >= count && n < count + 4)
        return &SpareTrainings[std::size_t(n - count)];
    return nullptr;
}

void TfrmMain::GetTrainingById(int id, TTraining& training) const
{
    training = TTraining{};
    if (id >= -4 && id <= -1) {
        training = SpareTrainings[std::size_t(-id - 1)];
        return;
    }
    if (TfrmTraining* window = TrainingWindowById(id))
        training = window->Training;
}

int TfrmMain::NextTrainingId()
{
    return ++LastTrainingId;
}

std::int64_t TfrmMain::NextAnonymousNumber() const
{
    std::int64_t r = 0;
    for (TfrmTraining* window : TrainingWindows()) {
        const QString title = Cp1252ToQString(window->Training.Header.Title);
        if (title.left(6).compare(QLatin1String("Anyone"), Qt::CaseInsensitive) != 0)
            continue;
        bool ok = false;
        const std::int64_t n = title.mid(6).toInt(&ok);
        if (!ok)
            r += 1;
        else
            r = n > r ? n + 1 : r + 1;
    }
    return r;
}

// ---------------------------------------------------------------------------------------------
// Broadcasts

void TfrmMain::CloseTraining(int id)
{
    for (TfrmTraining* window : TrainingWindows())
        if (window->TrainingId == id)
            window->Close();
    if (!Exiting)
        if (TTrainingViews* row = ViewsOf(frmRow))
            row->TrainingClosed(id);
    for (QWidget* window : {frmForceCurves.data(), frmStrokeData.data()})
        if (TTrainingViews* views = ViewsOf(window))
            views->TrainingClosed(id);
}

void TfrmMain::RefreshViews()
{
    for (QWidget* window : {frmRow.data(), frmForceCurves.data(), frmStrokeData.data()})
        if (TTrainingViews* views = ViewsOf(window))
            views->RefreshTrainingViews();
    UpdateWindowPanels();
}

void TfrmMain::TrainingsChanged(bool changed)
{
    for (QWidget* window : {frmRow.data(), frmForceCurves.data(), frmStrokeData.data()})
        if (TTrainingViews* views = ViewsOf(window))
            views->TrainingListChanged(changed);
}

// ---------------------------------------------------------------------------------------------
// Opening

void TfrmMain::LoadProgress(double fraction)
{
    SetProgressFraction(fraction);
}

bool TfrmMain::OpenFile(const QString& iniFile, const QString& fileName)
{
    // Names that are not UTF-8 are kept as they are (no QFileInfo, whose conversion loses them).
    const QString fullName = AbsoluteFileName(fileName);
    const QString shownName = DisplayFileName(fullName);
    struct stat st {};
    if (::stat(EncodeFileName(fullName).constData(), &st) != 0) {
        ShowMessageBox(this, QMessageBox::Critical, QStringLiteral("File \"%1\" not found.").arg(shownName));
        SetStatusText(QString());
        RemoveRecentFile(fullName);
        return false;
    }
    SetStatusText(QStringLiteral("Opening file \"%1\" ...").arg(shownName));
    StatusBar->repaint();
    // Whatever happens below, the opening text does not stay.
    const auto clearStatus = qScopeGuard([this] { SetStatusText(QString()); });
    // A folder, pipe or device is no training whatever its name: the loader says why.
    if (FileFormatOfName(fullName) == 0 && S_ISREG(st.st_mode)) {
        ShowMessageBox(this, QMessageBox::Critical,
                       QStringLiteral("Extension \"%1\" not supported.").arg(QLatin1Char('.') + QFileInfo(fullName).suffix()));
        return false;
    }
    TTraining training;
    if (!OpenTrainingFile(fullName, training, true, [this](double f) { LoadProgress(f); }))
        return false;  // the loader has said why

    if (DistinctColours) {
        QList<std::int32_t> used;
        for (TfrmTraining* window : TrainingWindows())
            if (!used.contains(window->Training.Header.Color))
                used << window->Training.Header.Color;
        if (used.contains(training.Header.Color)) {
            for (int i = 0; i < kDistinctColours; ++i) {
                const auto color = std::int32_t(ColorValues[std::size_t(i)]);
                if (!used.contains(color)) {
                    training.Header.Color = color;
                    break;
                }
            }
        }
    }
    if (training.Header.ContentKind != 6) {
        // Browsing starts at the first stroke; without strokes there is no curve to show.
        const bool strokes = training.StrokeData.size() > 1;
        training.Header.Active = strokes ? 1 : 0;
        training.Header.CurrentStroke = strokes ? 1 : 0;
    }

    const int id = NextTrainingId();
    auto* window = new TfrmTraining(this);
    window->Training = std::move(training);
    window->Training.Id = id;
    window->TrainingId = id;
    window->LoadSettings(iniFile, TrainingViewMode, fullName);
    window->SetColors(OptionsFont, TextColor, BackColor, WindowColor);
    ChildFrame(window)->show();
    TrainingsChanged(true);

    ++FilesOpened;
    const qsizetype slash = fullName.lastIndexOf(QLatin1Char('/'));
    LastDir = slash > 0 ? fullName.left(slash) : QStringLiteral("/");
    AddRecentFile(fullName);
    return true;
}

TfrmTraining* TfrmMain::NewTraining(const QString& iniFile)
{
    const std::int64_t n = NextAnonymousNumber();
    const int id = NextTrainingId();
    auto* window = new TfrmTraining(this);
    LoadDefaultTraining(window->Training);
    window->Training.Id = id;
    window->TrainingId = id;
    if (n > 0) {
        std::string& title = window->Training.Header.Title;
        title += std::to_string(n);
        if (title.size() > kShortStringMax)
            title.resize(kShortStringMax);
    }
    window->LoadSettings(iniFile, TrainingViewMode, QString());
    window->SetColors(OptionsFont, TextColor, BackColor, WindowColor);
    ChildFrame(window)->show();
    TrainingsChanged(true);
    return window;
}

bool TfrmMain::OpenRowWindow(const QString& iniFile, const QString& userFile)
{
    if (RowWindowOpening)
        return false;
    if (frmRow) {
        ShowChild(frmRow);
        return false;
    }
    RowWindowOpening = true;
    const auto release = qScopeGuard([] { RowWindowOpening = false; });

    QString sessionUserFile;
    if (!userFile.isEmpty()) {
        if (QFileInfo(userFile).fileName() != QLatin1String("?") && !QFileInfo::exists(userFile)) {
            ShowMessageBox(this, QMessageBox::Critical, QStringLiteral("File \"%1\" not found").arg(userFile));
            RemoveRecentFile(userFile);
            return false;
        }
        sessionUserFile = userFile;
    }

    bool useCurrent = false;
    int id = 0;
    if (auto* active = qobject_cast<TfrmTraining*>(ActiveMDIChild()); active && !active->Closing) {
        id = active->TrainingId;
        if (IsUserContent(active->Training) && IsEmptyTraining(active->Training))
            useCurrent = ShowMessageBox(this, QMessageBox::Question,
                                        QStringLiteral("Use current User file to record a training session?"),
                                        QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }

    bool created = false;
    if (!useCurrent) {
        TTraining training;
        if (RunNewSessionDialog) {
            if (!RunNewSessionDialog(sessionUserFile, training))
                return false;
        } else {
            LoadDefaultTraining(training);
        }
        id = NextTrainingId();
        auto* window = new TfrmTraining(this);
        window->Training = std::move(training);
        window->Training.Id = id;
        window->TrainingId = id;
        created = true;
    }

    TfrmTraining* window = TrainingWindowById(id);
    if (!window)
        return false;
    window->Training.Header.ContentKind = 7;
    window->RefreshTraining();
    // The session's window starts minimised behind the row window, whatever the view mode says.
    window->LoadSettings(iniFile, created ? 0 : TrainingViewMode, QString());
    window->SetColors(OptionsFont, TextColor, BackColor, WindowColor);
    if (created) {
        ChildFrame(window)->showMinimized();
        TrainingsChanged(true);
    }

    if (!CreateRowWindow)
        return false;  // no row window in this program yet: the training window stays
    QWidget* row = CreateRowWindow(window, iniFile);
    if (!row)
        return false;
    frmRow = row;
    row->setProperty("TrainingId", window->TrainingId);  // the training File Save works on
    return true;
}

// ---------------------------------------------------------------------------------------------
// Recent files

void TfrmMain::UpdateRecentList(const QString& fileName, bool add)
{
    for (qsizetype i = RecentFiles.size() - 1; i >= 0; --i)
        if (RecentFiles[i].compare(fileName, Qt::CaseInsensitive) == 0)
            RecentFiles.removeAt(i);
    while (RecentFiles.size() > kRecentMax)
        RecentFiles.removeAt(kRecentMax);
    if (add)
        RecentFiles.prepend(fileName);
}

void TfrmMain::AddRecentFile(const QString& fileName)
{
    DeleteRecentMenu();
    UpdateRecentList(fileName, true);
    BuildRecentMenu();
}

void TfrmMain::RemoveRecentFile(const QString& fileName)
{
    DeleteRecentMenu();
    UpdateRecentList(fileName, false);
    BuildRecentMenu();
}

void TfrmMain::DeleteRecentMenu()
{
    for (QAction* item : RecentItems) {
        mnuFile->removeAction(item);
        item->deleteLater();
    }
    RecentItems.clear();
}

void TfrmMain::BuildRecentMenu()
{
    DeleteRecentMenu();
    if (!N3 || RecentFiles.isEmpty())
        return;
    const QList<QAction*> items = mnuFile->actions();
    const qsizetype separator = items.indexOf(N3);
    QAction* before = separator >= 0 && separator + 1 < items.size() ? items[separator + 1] : nullptr;
    const QFontMetrics metrics(mnuFile->font());
    for (qsizetype i = 0; i < RecentFiles.size(); ++i) {
        const QString name = RecentFiles[i];
        const QString shortName =
            ShortenPath(name, [&metrics](const QString& s) { return metrics.horizontalAdvance(s); }, kRecentMenuWidth);
        auto* item = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shortName), this);
        item->setStatusTip(QStringLiteral("Open file \"%1\"").arg(name));
        SetActionTag(item, int(i));
        connect(item, &QAction::triggered, this, [this, item] { OpenRecentClick(ActionTag(item)); });
        mnuFile->insertAction(before, item);
        RecentItems << item;
    }
    if (before) {
        QAction* line = mnuFile->insertSeparator(before);
        RecentItems << line;
    }
}

void TfrmMain::OpenRecentClick(int index)
{
    if (index >= 0 && index < RecentFiles.size())
        OpenFileChecked(RecentFiles[index]);
}

// ---------------------------------------------------------------------------------------------
// Actions

void TfrmMain::CreateRegistryActions()
{
    FileNew = NewMainAction(QStringLiteral("FileNew"), tr("&New ..."), tr("New|Create a new file"),
                            QStringLiteral("document-new"), QKeySequence(Qt::CTRL | Qt::Key_N));
    FileOpen = NewMainAction(QStringLiteral("FileOpen"), tr("&Open ..."), tr("Open|Open a file"),
                             QStringLiteral("document-open"), QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction* exit = FileExit;
    mnuFile->insertAction(exit, FileNew);
    mnuFile->insertAction(exit, FileOpen);
    N3 = mnuFile->insertSeparator(exit);
    connect(FileNew, &QAction::triggered, this, &TfrmMain::FileNewExecute);
    connect(FileOpen, &QAction::triggered, this, &TfrmMain::FileOpenExecute);
    BuildRecentMenu();
}

void TfrmMain::FileNewExecute()
{
    NewTraining(GetUserIniFileName(false));
    UpdateWindowPanels();
}

void TfrmMain::FileOpenExecute()
{
    QStringList names;
    if (AskOpenFileNames) {
        names = AskOpenFileNames();
    } else {
        QString filter;
        int count = 0;
        BuildOpenFilter(~0u, true, true, filter, count, true);
        names = QFileDialog::getOpenFileNames(this, tr("Open file"), LastDir,
                                              PromptFilterToQt(filter).join(QStringLiteral(";;")));
    }
    for (const QString& name : names)
        OpenFileChecked(name);
    UpdateWindowPanels();
}
