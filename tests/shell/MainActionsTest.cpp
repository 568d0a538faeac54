// The main window's actions: enable rules by the kind of the active child window, Save and the
// modified flag, the shortcut schemes, the Layout submenu, the Help manuals, and every action run
// once against each kind of window.
#include "support/TrainingBuilder.h"
#include "foundation/core/AppUtils.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/TrainingFiles.h"
#include "analysis/ForceCurveWindow.h"
#include "analysis/StrokeDataWindow.h"
#include "session/RowWindow.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "shell/SplashWindow.h"
#include "shell/UiPrompt.h"
#include "widgets/UiUtils.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A row, stroke-data or force-curve window as the actions see it: its layout flags and what
// was asked of it.
struct TFakeChild : TMDIChild {
    explicit TFakeChild(TMDIMain* owner) : TMDIChild(owner) {}
    QMap<QAction*, bool> Flags;
    QStringList Calls;
};

TFakeChild* Fake(QWidget* w)
{
    return static_cast<TFakeChild*>(w);
}

// Answers the save dialog with a fixed name.
struct TNamePrompt : TPrompt {
    QString Name;
    TMsgResult Ask(const QString&, TMsgKind, TMsgButtons) override { return TMsgResult::Cancel; }
    bool AskSaveFileName(TSaveDialogRequest& request) override
    {
        request.FileName = Name;
        return !Name.isEmpty();
    }
};

class MainActionsTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QByteArray oldHome = qgetenv("HOME");
    QStringList messages;
    QStringList calls;  // of the analysis hooks
    std::unique_ptr<TfrmMain> form;

    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        SplashDisplayTimeOverride = 0;
        MessageBoxHook = [this](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
            messages << text;
            return QMessageBox::Ok;
        };
        form = std::make_unique<TfrmMain>();
        form->ConfirmExit = false;
        form->AskOpenFileNames = [] { return QStringList(); };
        form->CheckForUpdate = [this](const QString& address) {
            calls << "update " + address;
            return false;
        };
        form->ShowStrokeData = [this](TfrmMain*) { calls << QStringLiteral("stroke data"); };
        form->ShowForceCurves = [this](TfrmMain*) { calls << QStringLiteral("force curves"); };
        form->ChildLayoutFlag = [](QWidget* child, QAction* a) { return Fake(child)->Flags.value(a); };
        form->ApplyChildLayout = [](QWidget* child, QAction* a) {
            a->setChecked(!a->isChecked());
            Fake(child)->Flags[a] = a->isChecked();
            Fake(child)->Calls << QStringLiteral("layout ") + a->objectName();
        };
        form->ExportChartPicture = [](QWidget* child, bool toFile) {
            Fake(child)->Calls << QStringLiteral("picture %1").arg(toFile);
            return false;
        };
        form->ExportStrokeFile = [](QWidget* child) {
            Fake(child)->Calls << QStringLiteral("stroke file");
            return false;
        };
        form->LoadRowLayout = [](QWidget* row, const QString& file) { Fake(row)->Calls << "load " + file; };
        form->SaveRowLayout = [](QWidget* row, const QString& file) { Fake(row)->Calls << "save " + file; };
        form->OpenHelpDocument = [this](const QString& file) {
            calls << "open " + QFileInfo(file).fileName();
            return true;
        };
    }
    void TearDown() override
    {
        form.reset();
        SetPrompt(nullptr);
        MessageBoxHook = nullptr;
        SplashDisplayTimeOverride = -1;
        qputenv("HOME", oldHome);
    }
    void Activate(QWidget* child)
    {
        form->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(ChildFrame(child)));
        ASSERT_EQ(form->ActiveMDIChild(), child);
    }
    // The kinds of active window the rules tell apart; the trainings are left unmodified
    // unless the name says so.
    TFakeChild* MakeScene(const QString& scene)
    {
        if (scene == QLatin1String("empty"))
            return nullptr;
        TfrmTraining* training = form->NewTraining(QString());
        training->Training.Header.Modified = scene.endsWith(QLatin1String("modified")) ? 1 : 0;
        if (scene.startsWith(QLatin1String("training"))) {
            Activate(training);
            return nullptr;
        }
        auto* child = new TFakeChild(form.get());
        ChildFrame(child)->show();
        if (scene.startsWith(QLatin1String("row"))) {
            form->frmRow = child;
            child->setProperty("TrainingId", training->TrainingId);
        } else if (scene == QLatin1String("stroke data")) {
            form->frmStrokeData = child;
        } else {
            form->frmForceCurves = child;
        }
        Activate(child);
        return child;
    }
    QStringList VisibleTexts(QMenu* menu) const
    {
        QStringList texts;
        for (QAction* a : menu->actions())
            if (a->isVisible())
                texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return texts;
    }
};

const QStringList kScenes = {"empty", "training", "training modified", "row", "row modified", "stroke data",
                             "force curves"};

TEST_F(MainActionsTest, EnableRulesByKindOfActiveWindow)
{
    // One column per scene, in the order of kScenes.
    struct TRule {
        QAction* TfrmMain::*Action;
        const char* Enabled;
    };
    const TRule rules[] = {
        {&TfrmMain::FileStart, "1000000"},        {&TfrmMain::FileNew, "1111111"},
        {&TfrmMain::FileOpen, "1111111"},         {&TfrmMain::FileClose, "0111111"},
        {&TfrmMain::FileSave, "0010100"},         {&TfrmMain::FileSaveAs, "0111101"},
        {&TfrmMain::FileSaveChart, "0000011"},    {&TfrmMain::EditCopyChart, "0000011"},
        {&TfrmMain::FileSaveDesktop, "0111111"},  {&TfrmMain::ViewRow, "1111111"},
        {&TfrmMain::ViewTraining, "0001100"},     {&TfrmMain::ViewClients, "1111111"},
        {&TfrmMain::ViewUsers, "1111111"},        {&TfrmMain::ViewSynchronise, "0000000"},
        {&TfrmMain::ViewOptions, "0000000"},      {&TfrmMain::Layout_Menu, "0001111"},
        {&TfrmMain::AnalyseSummary, "0111111"},   {&TfrmMain::AnalyseIntervals, "0111111"},
        {&TfrmMain::AnalyseStrokeData, "0111111"}, {&TfrmMain::AnalyseForceCurves, "0111111"},
        {&TfrmMain::AnalyseSession, "0111111"},   {&TfrmMain::AnalyseRace, "0111111"},
    };
    // Which layout items show: chart areas for the analysis windows, row areas and Save Layout
    // for the row window.
    struct TShown {
        QAction* TfrmMain::*Action;
        const char* Visible;
    };
    const TShown shown[] = {
        {&TfrmMain::LayoutData, "0000011"},        {&TfrmMain::LayoutTrainings, "0000011"},
        {&TfrmMain::LayoutLeftChart, "0001100"},   {&TfrmMain::LayoutRightChart, "0001100"},
        {&TfrmMain::LayoutRightValues, "0001100"}, {&TfrmMain::LayoutBottomValues, "0001100"},
        {&TfrmMain::LayoutN1, "0001100"},          {&TfrmMain::LayoutSaveAs, "0001100"},
    };
    for (int s = 0; s < kScenes.size(); ++s) {
        SetUp();
        MakeScene(kScenes[s]);
        // A hidden action reads as disabled: the rules are seen with every action shown.
        for (const TRule& rule : rules)
            (form.get()->*rule.Action)->setVisible(true);
        form->UpdateActions();
        for (const TRule& rule : rules) {
            QAction* a = form.get()->*rule.Action;
            EXPECT_EQ(a->isEnabled(), rule.Enabled[s] == '1')
                << a->objectName().toStdString() << " with " << kScenes[s].toStdString();
        }
        for (const TShown& item : shown) {
            QAction* a = form.get()->*item.Action;
            EXPECT_EQ(a->isVisible(), item.Visible[s] == '1')
                << a->objectName().toStdString() << " with " << kScenes[s].toStdString();
        }
        TearDown();
    }
}

TEST_F(MainActionsTest, SaveIsEnabledExactlyWhileTheTrainingIsModified)
{
    TTraining t = MakeRowedTraining(3);
    t.Header.Title = "before";
    const QString file = QDir(home.path()).filePath(QStringLiteral("run.stg"));
    ASSERT_TRUE(WriteStgFile(file, t));
    ASSERT_TRUE(form->OpenFile(QString(), file));
    TfrmTraining* window = form->TrainingWindow(0);
    Activate(window);
    form->UpdateActions();
    EXPECT_FALSE(form->FileSave->isEnabled());

    window->Training.Header.Title = "after";
    window->Training.Header.Modified = 1;
    form->UpdateActions();
    ASSERT_TRUE(form->FileSave->isEnabled());
    form->FileSave->trigger();
    EXPECT_EQ(window->Training.Header.Modified, 0);
    EXPECT_FALSE(form->FileSave->isEnabled());
    TTraining saved;
    ASSERT_TRUE(OpenTrainingFile(file, saved, false, nullptr));
    EXPECT_EQ(saved.Header.Title, "after");
    EXPECT_EQ(form->FilesSaved, 1);

    // From the row window, Save works on the training it records into.
    TfrmTraining* second = form->NewTraining(QString());
    auto* row = new TFakeChild(form.get());
    form->frmRow = row;
    row->setProperty("TrainingId", window->TrainingId);
    Activate(row);
    second->Training.Header.Modified = 1;
    form->UpdateActions();
    EXPECT_FALSE(form->FileSave->isEnabled());
    window->Training.Header.Modified = 1;
    form->UpdateActions();
    EXPECT_TRUE(form->FileSave->isEnabled());
    EXPECT_EQ(form->SaveTarget(), window);
    // Training brings the row window's training forward, even from behind the others.
    ChildFrame(window)->showMinimized();
    Activate(second);
    form->UpdateActions();
    form->ViewTraining->trigger();
    EXPECT_EQ(form->ActiveMDIChild(), window);
    EXPECT_FALSE(ChildFrame(window)->isMinimized());
}

TEST_F(MainActionsTest, ShortcutSchemes)
{
    struct TKeys {
        QAction* TfrmMain::*Action;
        QKeySequence Scheme0;
        QKeySequence Scheme1;
    };
    const TKeys keys[] = {
        {&TfrmMain::HelpAbout, QKeySequence(Qt::Key_F1), QKeySequence()},
        {&TfrmMain::AnalyseStrokeData, QKeySequence(), QKeySequence(Qt::Key_F1)},
        {&TfrmMain::AnalyseForceCurves, QKeySequence(), QKeySequence(Qt::Key_F3)},
        {&TfrmMain::ViewTraining, QKeySequence(Qt::CTRL | Qt::Key_T), QKeySequence(Qt::Key_F6)},
        {&TfrmMain::FileSaveAs, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S), QKeySequence(Qt::Key_F8)},
        {&TfrmMain::FileOpen, QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence(Qt::Key_F9)},
    };
    for (int scheme : {1, 0, 1}) {
        form->ShortcutScheme = std::uint8_t(scheme);
        form->SetShortCuts();
        for (const TKeys& k : keys)
            EXPECT_EQ((form.get()->*k.Action)->shortcut(), scheme ? k.Scheme1 : k.Scheme0)
                << (form.get()->*k.Action)->text().toStdString() << " scheme " << scheme;
    }

    // F1 and F3 open the analysis windows, with the menu shown or hidden.
    form->NewTraining(QString());
    form->show();
    QApplication::setActiveWindow(form.get());
    form->UpdateActions();
    QTest::keyClick(form.get(), Qt::Key_F1);
    form->SetMenuVisible(false);
    QTest::keyClick(form.get(), Qt::Key_F3);
    QTest::keyClick(form.get(), Qt::Key_F1);
    EXPECT_EQ(calls, QStringList({"stroke data", "force curves", "stroke data"}));
}

TEST_F(MainActionsTest, HelpManualsInTheirOrderWhenTheirFilesExist)
{
    QTemporaryDir docs;
    form->ManualFileName = [&docs](const QString& letter) { return docs.filePath(letter + ".pdf"); };
    const auto write = [&docs](const char* letter) {
        QFile f(docs.filePath(QString::fromLatin1(letter) + ".pdf"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    };
    const QStringList tail = {"&Website", "&Update", "-", "&About"};
    const auto shownTail = [&] {
        QStringList texts = VisibleTexts(form->mnuHelp);
        texts.removeAll(QStringLiteral("&Website"));  // shown only when the version names a site
        return texts;
    };
    form->HelpWebsite->setVisible(true);
    form->HelpUpdate->setVisible(true);

    form->AddHelpDocuments();
    EXPECT_EQ(shownTail(), QStringList({"&Update", "-", "&About"}));
    write("m");
    form->AddHelpDocuments();
    EXPECT_EQ(shownTail(), QStringList({"&Manual", "-", "&Update", "-", "&About"}));
    write("f");
    form->AddHelpDocuments();
    EXPECT_EQ(shownTail(), QStringList({"&Flyer", "&Manual", "-", "&Update", "-", "&About"}));
    write("q");
    form->AddHelpDocuments();
    EXPECT_EQ(shownTail(),
              QStringList({"&Flyer", "&Quick Start Guide", "&Manual", "-", "&Update", "-", "&About"}));
    ASSERT_EQ(form->HelpDocumentItems.size(), 4);

    // Each opens its own file; one removed meanwhile is disabled.
    for (QAction* item : form->HelpDocumentItems)
        if (!item->isSeparator())
            item->trigger();
    EXPECT_EQ(calls, QStringList({"open f.pdf", "open q.pdf", "open m.pdf"}));
    QFile::remove(docs.filePath("q.pdf"));
    form->UpdateActions();
    EXPECT_TRUE(form->HelpDocumentItems[0]->isEnabled());
    EXPECT_FALSE(form->HelpDocumentItems[1]->isEnabled());
    EXPECT_TRUE(form->HelpDocumentItems[2]->isEnabled());
    (void)tail;
}

TEST_F(MainActionsTest, LayoutItemsFollowTheActiveWindow)
{
    TFakeChild* row = MakeScene(QStringLiteral("row"));
    row->Flags[form->LayoutLeftChart] = true;
    row->Flags[form->LayoutRightValues] = true;
    form->UpdateActions();
    EXPECT_TRUE(form->LayoutLeftChart->isChecked());
    EXPECT_FALSE(form->LayoutRightChart->isChecked());
    EXPECT_TRUE(form->LayoutRightValues->isChecked());
    EXPECT_FALSE(form->LayoutBottomValues->isChecked());

    // A click toggles the area once: the window does the toggling.
    form->LayoutRightChart->trigger();
    form->LayoutLeftChart->trigger();
    EXPECT_EQ(row->Calls, QStringList({"layout LayoutRightChart", "layout LayoutLeftChart"}));
    EXPECT_TRUE(row->Flags[form->LayoutRightChart]);
    EXPECT_FALSE(row->Flags[form->LayoutLeftChart]);
    form->UpdateActions();
    EXPECT_TRUE(form->LayoutRightChart->isChecked());
    EXPECT_FALSE(form->LayoutLeftChart->isChecked());

    // The layout files of the data folder, by name; another kind of file is left out.
    const QString data = GetUserDataFolder();
    for (const char* name : {"b.srl", "A.srl", "notes.txt"}) {
        QFile f(data + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    emit form->mnuLayout->aboutToShow();
    ASSERT_EQ(form->LayoutFileItems.size(), 2);
    EXPECT_EQ(form->LayoutFileItems[0]->text(), QStringLiteral("A.srl"));
    EXPECT_EQ(form->LayoutFileItems[1]->statusTip(), QStringLiteral("Open row window layout \"b.srl\""));
    form->LayoutFileItems[1]->trigger();
    EXPECT_EQ(row->Calls.constLast(), "load " + QDir(data).filePath("b.srl"));
    emit form->mnuLayout->aboutToShow();  // built again, not added to
    EXPECT_EQ(form->LayoutFileItems.size(), 2);

    TNamePrompt prompt;
    prompt.Name = data + QStringLiteral("mine.srl");
    SetPrompt(&prompt);
    form->LayoutSaveAs->trigger();
    EXPECT_EQ(row->Calls.constLast(), "save " + prompt.Name);

    // A chart window: its two areas, and no layout files.
    TFakeChild* chart = new TFakeChild(form.get());
    form->frmStrokeData = chart;
    Activate(chart);
    chart->Flags[form->LayoutTrainings] = true;
    form->UpdateActions();
    EXPECT_FALSE(form->LayoutData->isChecked());
    EXPECT_TRUE(form->LayoutTrainings->isChecked());
    form->LayoutData->trigger();
    EXPECT_EQ(chart->Calls, QStringList({"layout LayoutData"}));
    emit form->mnuLayout->aboutToShow();
    EXPECT_TRUE(form->LayoutFileItems.isEmpty());
}

TEST_F(MainActionsTest, MenusInTheirOrder)
{
    QStringList top;
    for (QAction* a : form->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, QStringList({"&File", "&Edit", "&View", "&Analyse", "&Window", "&Help"}));
    EXPECT_EQ(VisibleTexts(form->mnuFile),
              QStringList({"&New ...", "&Open ...", "&Close", "-", "&Save", "Save &As ...", "Sa&ve Chart ...", "-",
                           "E&xit"}));
    EXPECT_EQ(VisibleTexts(form->mnuAnalyse), QStringList({"Stroke &Data ...", "&Force Curves ..."}));
    EXPECT_EQ(form->FileSaveAs->toolTip(), QStringLiteral("Save As"));
    EXPECT_EQ(form->FileSaveAs->statusTip(), QStringLiteral("Save the current file under a different name"));
    // Every action works without the menu: each is on the window itself.
    for (QAction* a : form->MainActions)
        EXPECT_TRUE(form->actions().contains(a)) << a->text().toStdString();
}

TEST_F(MainActionsTest, EveryActionRunsAgainstEveryKindOfWindow)
{
    for (const QString& scene : kScenes) {
        SetUp();
        QTemporaryDir docs;
        form->ManualFileName = [&docs](const QString& letter) { return docs.filePath(letter + ".pdf"); };
        QFile(docs.filePath("m.pdf")).open(QIODevice::WriteOnly);
        form->AddHelpDocuments();
        TFakeChild* child = MakeScene(scene);
        form->UpdateActions();
        // About is modal and the website leaves the program; Exit and Close end the scene.
        const QList<QAction*> skip = {form->HelpAbout, form->HelpWebsite, form->FileExit, form->FileClose};
        QList<QAction*> all = form->MainActions + form->HelpDocumentItems;
        for (QAction* a : all) {
            if (skip.contains(a) || a->isSeparator())
                continue;
            a->trigger();
            form->UpdateActions();
        }
        if (child && scene == QLatin1String("force curves")) {
            EXPECT_TRUE(child->Calls.contains(QStringLiteral("stroke file")));
        }
        if (child && scene == QLatin1String("stroke data")) {
            EXPECT_TRUE(child->Calls.contains(QStringLiteral("picture 1")) &&
                        child->Calls.contains(QStringLiteral("picture 0")));
        }
        form->FileClose->trigger();
        form->FileExit->trigger();
        EXPECT_FALSE(form->FileStart->isChecked());
        TearDown();
    }
}

// The program's own row, stroke-data and force-curve windows behind the actions.
class MainActionsWithWindowsTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QByteArray oldHome = qgetenv("HOME");
    std::unique_ptr<TfrmMain> form;

    // Save dialogs: trainings go to session.stg, layouts to mine.srl in the data folder.
    struct TFilePrompt : TPrompt {
        QString Home;
        TMsgResult Ask(const QString&, TMsgKind, TMsgButtons) override { return TMsgResult::Cancel; }
        bool AskSaveFileName(TSaveDialogRequest& request) override
        {
            request.FileName = request.DefaultExt == QLatin1String("srl")
                                   ? GetUserDataFolder() + QStringLiteral("mine.srl")
                                   : QDir(Home).filePath(QStringLiteral("session.stg"));
            return true;
        }
    } prompt;

    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        SplashDisplayTimeOverride = 0;
        MessageBoxHook = [](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) { return QMessageBox::Ok; };
        prompt.Home = home.path();
        SetPrompt(&prompt);
        form = std::make_unique<TfrmMain>();
        form->ConfirmExit = false;
        form->AskOpenFileNames = [] { return QStringList(); };
        form->OpenHelpDocument = [](const QString&) { return true; };
        InstallRowWindow(*form);
        form->RunNewSessionDialog = [](const QString&, TTraining& t) {
            LoadDefaultTraining(t);
            return true;
        };
    }
    void TearDown() override
    {
        form.reset();
        SetPrompt(nullptr);
        MessageBoxHook = nullptr;
        SplashDisplayTimeOverride = -1;
        qputenv("HOME", oldHome);
    }
    void Activate(QWidget* child)
    {
        form->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(ChildFrame(child)));
        form->UpdateActions();
    }
};

TEST_F(MainActionsWithWindowsTest, EveryActionRunsAgainstEachWindow)
{
    const QString file = home.filePath(QStringLiteral("run.stg"));
    ASSERT_TRUE(WriteStgFile(file, MakeRowedTraining(6)));
    ASSERT_TRUE(form->OpenFile(QString(), file));
    QPointer<TfrmTraining> training = form->TrainingWindow(0);
    form->UpdateActions();
    form->ViewRow->trigger();
    QPointer<TfrmRow> row = qobject_cast<TfrmRow*>(form->frmRow.data());
    ASSERT_TRUE(row);
    Activate(training);
    form->AnalyseStrokeData->trigger();
    QPointer<TfrmStrokeData> strokeData = qobject_cast<TfrmStrokeData*>(form->frmStrokeData.data());
    ASSERT_TRUE(strokeData);
    const QString picture = home.filePath(QStringLiteral("chart.bmp"));
    strokeData->AskSaveFileName = [&picture](const QString&, const QString&) { return picture; };
    form->AnalyseForceCurves->trigger();
    QPointer<TfrmForceCurves> forceCurves = qobject_cast<TfrmForceCurves*>(form->frmForceCurves.data());
    ASSERT_TRUE(forceCurves);
    const QString curve = home.filePath(QStringLiteral("curve.str"));
    forceCurves->AskExportFileName = [&curve](const QString&, const QString&) { return curve; };
    forceCurves->AskSaveFileName = strokeData->AskSaveFileName;

    // Each kind: the layout areas follow their actions, then every action runs once.
    Activate(row);
    EXPECT_EQ(form->SaveTarget(), row->TrainingWindow());
    const bool rightValues = row->RightValues;
    form->LayoutRightValues->trigger();
    EXPECT_EQ(row->RightValues, !rightValues);
    form->UpdateActions();
    EXPECT_EQ(form->LayoutRightValues->isChecked(), !rightValues);
    Activate(forceCurves);
    const bool data = forceCurves->FDataVisible;
    form->LayoutData->trigger();
    EXPECT_EQ(forceCurves->FDataVisible, !data);
    ASSERT_TRUE(form->FileSaveAs->isEnabled());
    form->FileSaveAs->trigger();
    EXPECT_TRUE(QFileInfo(curve).size() > 0) << "Save As on the force curves exports the shown curve";
    Activate(strokeData);
    form->FileSaveChart->trigger();
    EXPECT_TRUE(QFileInfo(picture).size() > 0);

    const QList<QAction*> skip = {form->HelpAbout, form->HelpWebsite, form->FileExit, form->FileClose};
    const QList<QPointer<QWidget>> targets = {training.data(), row.data(), strokeData.data(), forceCurves.data()};
    for (const QPointer<QWidget>& target : targets) {
        ASSERT_TRUE(target);
        row->TrainingWindow()->Training.Header.Modified = 1;
        for (QAction* a : form->MainActions) {
            if (skip.contains(a))
                continue;
            Activate(target);
            a->trigger();
            if (a == form->LayoutSaveAs)
                emit form->mnuLayout->aboutToShow();
        }
    }
    EXPECT_TRUE(QFileInfo::exists(GetUserDataFolder() + QStringLiteral("mine.srl")));
    EXPECT_TRUE(QFileInfo::exists(home.filePath(QStringLiteral("session.stg"))));
    for (const QPointer<QWidget>& target : targets.mid(1)) {
        ASSERT_TRUE(target);
        Activate(target);
        form->FileClose->trigger();
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->frmRow);
    EXPECT_FALSE(form->frmStrokeData);
    EXPECT_FALSE(form->frmForceCurves);
}

TEST(PromptFilterToQt, ConvertsBarSeparatedFilters)
{
    struct TCase {
        const char* Filter;
        QStringList Qt;
    };
    const TCase cases[] = {
        {"", {}},
        {"Trainings (*.stg)|*.stg|User (*.ini)|*.ini|", {"Trainings (*.stg)", "User (*.ini)"}},
        {"All|*.stg;*.str|Users|*.ini", {"All (*.stg *.str)", "Users (*.ini)"}},
        {"Kavelo files (*.stg, *.str)|*.stg;*.str|All files (*.*)|*.*",
         {"Kavelo files (*.stg *.str)", "All files (*.*)"}},
        {"Other (*.txt)|*.stg|", {"Other (*.txt) (*.stg)"}},
        {"No pattern", {}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(PromptFilterToQt(QString::fromLatin1(c.Filter)), c.Qt) << c.Filter;
}

}  // namespace
