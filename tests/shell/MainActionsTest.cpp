// The main window's actions: enable rules by the kind of the active child window, Save and the
// modified flag, the shortcut schemes, the Layout submenu, the Help manuals, and every action run
// once against each kind of window.
#include "support/FakePrompt.h"
#include "support/MainWindowHome.h"
#include "support/TrainingBuilder.h"
#include "foundation/core/AppUtils.h"
#include "foundation/files/TrainingFiles.h"
#include "analysis/ForceCurveWindow.h"
#include "analysis/StrokeDataWindow.h"
#include "session/RowWindow.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "shell/SplashWindow.h"
#include "shell/UiPrompt.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
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

bool Log(QWidget* child, const QString& call)
{
    Fake(child)->Calls << call;
    return false;
}

void Touch(const QString& file)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

class MainActionsTest : public TMainWindowHome {
protected:
    QStringList calls;  // of the analysis hooks

    void SetUp() override
    {
        TMainWindowHome::SetUp();
        MakeForm();
    }
    // A fresh main window; with fakes, the child windows' hooks only record what they are asked.
    void MakeForm(bool fakes = true)
    {
        NewForm();
        form->AskOpenFileNames = [] { return QStringList(); };
        form->OpenHelpDocument = [this](const QString& file) {
            calls << "open " + QFileInfo(file).fileName();
            return true;
        };
        if (!fakes)
            return;
        form->CheckForUpdate = [](const QString&) { return false; };
        form->ShowStrokeData = [this](TfrmMain*) { calls << QStringLiteral("stroke data"); };
        form->ShowForceCurves = [this](TfrmMain*) { calls << QStringLiteral("force curves"); };
        form->ChildLayoutFlag = [](QWidget* child, QAction* a) { return Fake(child)->Flags.value(a); };
        form->ApplyChildLayout = [](QWidget* child, QAction* a) {
            a->setChecked(!a->isChecked());
            Fake(child)->Flags[a] = a->isChecked();
            Log(child, QStringLiteral("layout ") + a->objectName());
        };
        form->ExportChartPicture = [](QWidget* c, bool toFile) {
            return Log(c, "picture " + QString::number(toFile));
        };
        form->ExportStrokeFile = [](QWidget* c) { return Log(c, QStringLiteral("stroke file")); };
        form->LoadRowLayout = [](QWidget* row, const QString& file) { Log(row, "load " + file); };
        form->SaveRowLayout = [](QWidget* row, const QString& file) { Log(row, "save " + file); };
    }
    void Activate(QWidget* child)
    {
        form->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(ChildFrame(child)));
        ASSERT_EQ(form->ActiveMDIChild(), child);
        form->UpdateActions();
    }
    // The kinds of active window the rules tell apart; the trainings are left unmodified
    // unless the name says so.
    TFakeChild* MakeScene(const QString& scene)
    {
        MakeForm();
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
        } else {
            (scene == QLatin1String("stroke data") ? form->frmStrokeData : form->frmForceCurves) = child;
        }
        Activate(child);
        return child;
    }
};

const QStringList kScenes = {"empty", "training", "training modified", "row", "row modified", "stroke data",
                             "force curves"};

TEST_F(MainActionsTest, EnableRulesByKindOfActiveWindowThenEveryActionRuns)
{
    // One column per scene, in the order of kScenes.
    struct TRule {
        QAction* TfrmMain::*Action;
        const char* Enabled;
    };
    const TRule rules[] = {
        {&TfrmMain::FileStart, "1000000"},        {&TfrmMain::FileNew, "1111111"},
        {&TfrmMain::FileClose, "0111111"},        {&TfrmMain::FileSave, "0010100"},
        {&TfrmMain::FileSaveAs, "0111101"},       {&TfrmMain::FileSaveChart, "0000011"},
        {&TfrmMain::EditCopyChart, "0000011"},    {&TfrmMain::FileSaveDesktop, "0111111"},
        {&TfrmMain::ViewTraining, "0001100"},     {&TfrmMain::ViewSynchronise, "0000000"},
        {&TfrmMain::ViewOptions, "0000000"},      {&TfrmMain::Layout_Menu, "0001111"},
        {&TfrmMain::AnalyseSummary, "0111111"},   {&TfrmMain::AnalyseStrokeData, "0111111"},
    };
    // Which layout items show: chart areas for the analysis windows, row areas and Save Layout
    // for the row window.
    const TRule shown[] = {
        {&TfrmMain::LayoutData, "0000011"},       {&TfrmMain::LayoutTrainings, "0000011"},
        {&TfrmMain::LayoutLeftChart, "0001100"},  {&TfrmMain::LayoutBottomValues, "0001100"},
        {&TfrmMain::LayoutSaveAs, "0001100"},
    };
    QTemporaryDir docs;
    Touch(docs.filePath("m.pdf"));
    for (int s = 0; s < kScenes.size(); ++s) {
        TFakeChild* child = MakeScene(kScenes[s]);
        // A hidden action reads as disabled: the rules are seen with every action shown.
        for (const TRule& rule : rules)
            (form.get()->*rule.Action)->setVisible(true);
        form->UpdateActions();
        const auto check = [&](const auto& table, bool visible) {
            for (const TRule& rule : table) {
                QAction* a = form.get()->*rule.Action;
                EXPECT_EQ(visible ? a->isVisible() : a->isEnabled(), rule.Enabled[s] == '1')
                    << a->objectName().toStdString() << " with " << kScenes[s].toStdString();
            }
        };
        check(rules, false);
        check(shown, true);

        // Then every action runs once; About is modal and the website leaves the program, Exit
        // and Close end the scene.
        form->ManualFileName = [&docs](const QString& letter) { return docs.filePath(letter + ".pdf"); };
        form->AddHelpDocuments();
        const QList<QAction*> skip = {form->HelpAbout, form->HelpWebsite, form->FileExit, form->FileClose};
        for (QAction* a : form->MainActions + form->HelpDocumentItems) {
            if (!skip.contains(a) && !a->isSeparator()) {
                a->trigger();
                form->UpdateActions();
            }
        }
        if (child && form->frmForceCurves == child) {
            EXPECT_TRUE(child->Calls.contains(QStringLiteral("stroke file")));
        }
        if (child && form->frmStrokeData == child) {
            EXPECT_TRUE(child->Calls.contains("picture 1") && child->Calls.contains("picture 0"));
        }
        form->FileClose->trigger();
        form->FileExit->trigger();
        EXPECT_FALSE(form->FileStart->isChecked());
    }
}

TEST_F(MainActionsTest, SaveIsEnabledExactlyWhileTheTrainingIsModified)
{
    TTraining t = MakeRowedTraining(3);
    t.Header.Title = "before";
    const QString file = home.filePath(QStringLiteral("run.stg"));
    ASSERT_TRUE(WriteStgFile(file, t));
    ASSERT_TRUE(form->OpenFile(QString(), file));
    TfrmTraining* window = form->TrainingWindow(0);
    Activate(window);
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
    form->ViewTraining->trigger();
    EXPECT_EQ(form->ActiveMDIChild(), window);
    EXPECT_FALSE(ChildFrame(window)->isMinimized());
}

TEST_F(MainActionsTest, ShortcutSchemesAndKeysWithTheMenuHidden)
{
    // F1 is About in one scheme and Stroke Data in the other: never both.
    struct TKeys {
        QAction* TfrmMain::*Action;
        QKeySequence Scheme0;
        QKeySequence Scheme1;
    };
    const TKeys keys[] = {
        {&TfrmMain::HelpAbout, QKeySequence(Qt::Key_F1), QKeySequence()},
        {&TfrmMain::AnalyseStrokeData, QKeySequence(), QKeySequence(Qt::Key_F1)},
        {&TfrmMain::ViewTraining, QKeySequence(Qt::CTRL | Qt::Key_T), QKeySequence(Qt::Key_F6)},
    };
    for (int scheme : {1, 0, 1}) {
        form->ShortcutScheme = std::uint8_t(scheme);
        form->SetShortCuts();
        for (const TKeys& k : keys)
            EXPECT_EQ((form.get()->*k.Action)->shortcut(), scheme ? k.Scheme1 : k.Scheme0)
                << (form.get()->*k.Action)->objectName().toStdString() << " scheme " << scheme;
    }

    // Every action is on the window itself: F1 and F3 work with the menu shown or hidden.
    for (QAction* a : form->MainActions)
        EXPECT_TRUE(form->actions().contains(a)) << a->objectName().toStdString();
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
    // Each file written adds its item in its own place, with one separator after them.
    const std::pair<const char*, QStringList> steps[] = {
        {"", {}},
        {"m", {"&Manual", "-"}},
        {"f", {"&Flyer", "&Manual", "-"}},
        {"q", {"&Flyer", "&Quick Start Guide", "&Manual", "-"}},
    };
    for (const auto& [letter, items] : steps) {
        if (*letter)
            Touch(docs.filePath(QLatin1String(letter) + ".pdf"));
        form->AddHelpDocuments();
        QStringList texts;
        for (QAction* a : form->HelpDocumentItems)
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        EXPECT_EQ(texts, items) << letter;
    }
    // Each opens its own file; one removed meanwhile is disabled.
    for (QAction* item : form->HelpDocumentItems)
        item->trigger();
    EXPECT_EQ(calls, QStringList({"open f.pdf", "open q.pdf", "open m.pdf"}));
    QFile::remove(docs.filePath("q.pdf"));
    form->UpdateActions();
    EXPECT_TRUE(form->HelpDocumentItems[0]->isEnabled());
    EXPECT_FALSE(form->HelpDocumentItems[1]->isEnabled());
}

TEST_F(MainActionsTest, LayoutItemsFollowTheActiveWindow)
{
    TFakeChild* row = MakeScene(QStringLiteral("row"));
    row->Flags[form->LayoutLeftChart] = true;
    form->UpdateActions();
    EXPECT_TRUE(form->LayoutLeftChart->isChecked());
    EXPECT_FALSE(form->LayoutRightChart->isChecked());

    // A click toggles the area once: the window does the toggling.
    form->LayoutRightChart->trigger();
    form->LayoutLeftChart->trigger();
    EXPECT_EQ(row->Calls, QStringList({"layout LayoutRightChart", "layout LayoutLeftChart"}));
    form->UpdateActions();
    EXPECT_TRUE(form->LayoutRightChart->isChecked());
    EXPECT_FALSE(form->LayoutLeftChart->isChecked());

    // The layout files of the data folder, by name; another kind of file is left out.
    const QString data = GetUserDataFolder();
    for (const char* name : {"b.srl", "A.srl", "notes.txt"})
        Touch(data + QLatin1String(name));
    emit form->mnuLayout->aboutToShow();
    ASSERT_EQ(form->LayoutFileItems.size(), 2);
    EXPECT_EQ(form->LayoutFileItems[0]->text(), QStringLiteral("A.srl"));
    form->LayoutFileItems[1]->trigger();
    EXPECT_EQ(row->Calls.constLast(), "load " + QDir(data).filePath("b.srl"));
    emit form->mnuLayout->aboutToShow();  // built again, not added to
    EXPECT_EQ(form->LayoutFileItems.size(), 2);

    TFakePrompt prompt;
    prompt.ChosenName = data + QStringLiteral("mine.srl");
    form->LayoutSaveAs->trigger();
    EXPECT_EQ(row->Calls.constLast(), "save " + prompt.ChosenName);

    // A chart window: its two areas, and no layout files.
    auto* chart = new TFakeChild(form.get());
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

// The program's own row, stroke-data and force-curve windows behind the actions.
TEST_F(MainActionsTest, EveryActionRunsAgainstEachRealWindow)
{
    // Save dialogs: trainings go to session.stg, layouts to mine.srl in the data folder.
    struct TFilePrompt : TFakePrompt {
        using TFakePrompt::TFakePrompt;
        QString Home;
        bool AskSaveFileName(TSaveDialogRequest& request) override
        {
            request.FileName = request.DefaultExt == QLatin1String("srl")
                                   ? GetUserDataFolder() + QStringLiteral("mine.srl")
                                   : QDir(Home).filePath(QStringLiteral("session.stg"));
            return true;
        }
    } prompt(TMsgResult::Cancel);
    prompt.Home = home.path();
    MakeForm(false);
    InstallRowWindow(*form);
    form->RunNewSessionDialog = [](const QString&, TTraining& t) {
        LoadDefaultTraining(t);
        return true;
    };
    const QString file = home.filePath(QStringLiteral("run.stg"));
    ASSERT_TRUE(WriteStgFile(file, MakeRowedTraining(6)));
    ASSERT_TRUE(form->OpenFile(QString(), file));
    QPointer<TfrmTraining> training = form->TrainingWindow(0);
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

    // The row window's areas follow their actions; Save As and Save Chart export; then every
    // action runs once against each kind.
    Activate(row);
    const bool rightValues = row->RightValues;
    form->LayoutRightValues->trigger();
    EXPECT_EQ(row->RightValues, !rightValues);
    form->UpdateActions();
    EXPECT_EQ(form->LayoutRightValues->isChecked(), !rightValues);
    Activate(forceCurves);
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
    prompt.Answers = {TMsgResult::Ok};  // the row window's training: close anyway
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
