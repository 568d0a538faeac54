#include "foundation/core/AppUtils.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/IniFiles.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "shell/SplashWindow.h"
#include "shell/UiPrompt.h"
#include "support/EnvOverride.h"
#include "support/FileHelpers.h"
#include "support/MainWindowHome.h"
#include "support/UiInput.h"
#include "widgets/UiUtils.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QPushButton>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTableView>
#include <gtest/gtest.h>

#include <deque>

namespace {

struct TBox {
    QMessageBox::Icon Icon;
    QString Text;
};
using B = QMessageBox::StandardButton;

// A main window in a fresh home; message boxes are answered from a list and recorded.
class TrainingWindowSave : public ::testing::Test {
protected:
    QTemporaryDir home;
    TEnvOverride homeVar{"HOME", QFile::encodeName(home.path())};
    TUiPrompt prompt;
    std::deque<QMessageBox::StandardButton> answers;
    std::vector<TBox> boxes;
    QString chosenName;

    void SetUp() override
    {
        SetPrompt(&prompt);
        MessageBoxHook = [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons) {
            boxes.push_back({icon, text});
            if (answers.empty())
                return QMessageBox::Ok;
            const QMessageBox::StandardButton answer = answers.front();
            answers.pop_front();
            return answer;
        };
        TUiPrompt::SaveDialogHook = [this](TSaveDialogRequest& request) {
            if (chosenName.isEmpty())
                return false;
            request.FileName = chosenName;
            return true;
        };
    }
    void TearDown() override
    {
        MessageBoxHook = nullptr;
        TUiPrompt::SaveDialogHook = nullptr;
        SetPrompt(nullptr);
    }

    // A window holding a recorded, modified training.
    static TfrmTraining* ModifiedWindow(TfrmMain& main, const char* title)
    {
        TfrmTraining* window = main.NewTraining(GetUserIniFileName(false));
        TTraining& t = window->Training;
        SetStrokeCount(t, 2);
        t.StrokeData[1].Time = 2;
        t.StrokeData[2].Time = 4;
        t.Header.Title = title;
        t.Header.ContentKind = 9;
        t.Header.Modified = 1;
        t.Recorded = 1;
        window->RefreshTraining();
        return window;
    }
};

} // namespace

TEST_F(TrainingWindowSave, EveryWayOfClosing)
{
    struct TCase {
        const char* What;
        bool Modified;
        bool AutoSave;
        QString Template;
        std::vector<B> Answers;
        bool Closes;
        std::vector<QMessageBox::Icon> Boxes;
    };
    const QString good = home.filePath("saved/{title}.stg");
    const QString blocked = home.filePath("plain/{title}.stg");  // "plain" is a file
    ASSERT_TRUE(WriteAllBytes(home.filePath("plain"), QByteArray("x")));
    const TCase cases[] = {
        {"unchanged", false, false, good, {}, true, {}},
        {"closed anyway", true, false, good, {B::Ok}, true, {QMessageBox::Question}},
        {"cancelled", true, false, good, {B::Cancel}, false, {QMessageBox::Question}},
        {"saved by itself", true, true, good, {}, true, {QMessageBox::Information}},
        {"not recorded: saving declined, then cancelled", true, true, good, {B::Cancel, B::Cancel}, false,
         {QMessageBox::Question, QMessageBox::Question}},
        {"failed save, then cancelled", true, true, blocked, {B::Ok, B::Cancel}, false,
         {QMessageBox::Information, QMessageBox::Question}},
    };
    for (const TCase& c : cases) {
        TfrmMain main;
        main.AutoSave = c.AutoSave;
        main.AutoSaveFileName = c.Template;
        QPointer<TfrmTraining> window = ModifiedWindow(main, "Row");
        window->Training.Header.Modified = c.Modified;
        window->Training.Recorded = c.Boxes.size() == 2 && c.Boxes[0] == QMessageBox::Question ? 0 : 1;
        const int id = window->TrainingId;
        boxes.clear();
        answers.assign(c.Answers.begin(), c.Answers.end());
        window->Close();
        QCoreApplication::processEvents();
        std::vector<QMessageBox::Icon> icons;
        for (const TBox& box : boxes)
            icons.push_back(box.Icon);
        EXPECT_EQ(icons, c.Boxes) << c.What;
        EXPECT_EQ(main.TrainingWindowById(id) == nullptr, c.Closes) << c.What;
        if (!c.Closes) {
            ASSERT_TRUE(window) << c.What;
            EXPECT_EQ(window->Training.Header.Modified, 1) << c.What;
            EXPECT_FALSE(window->Closing) << c.What;
            EXPECT_EQ(boxes.back().Text, "Training session \"Row\" is modified. Close anyway? ") << c.What;
        }
        if (c.Boxes.size() == 2 && c.Boxes[0] == QMessageBox::Information) {
            EXPECT_TRUE(boxes[0].Text.contains("  [Failure]\n")) << boxes[0].Text.toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo::exists(home.filePath("saved/Row.stg")));
}

TEST_F(TrainingWindowSave, SaveAndSaveAs)
{
    TfrmMain main;
    TfrmTraining* window = ModifiedWindow(main, "Morning");
    main.LastDir = "/nowhere/";

    // Save As into a folder that cannot take the file: said why, still modified, nothing counted.
    ASSERT_TRUE(WriteAllBytes(home.filePath("plain"), QByteArray("x")));
    chosenName = home.filePath("plain/morning.stg");
    EXPECT_FALSE(window->SaveToFile(QString()));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Icon, QMessageBox::Critical);
    EXPECT_TRUE(boxes[0].Text.startsWith("Error saving file \"" + chosenName + "\"\n")) << boxes[0].Text.toStdString();
    EXPECT_EQ(window->Training.Header.Modified, 1);
    EXPECT_EQ(main.FilesSaved, 0);
    EXPECT_EQ(main.LastDir, "/nowhere/");
    EXPECT_TRUE(main.RecentFiles.isEmpty());

    // Save As with a good name, then Save under the training's own name.
    chosenName = home.filePath("runs/morning.stg");
    ASSERT_TRUE(QDir().mkpath(home.filePath("runs")));
    EXPECT_TRUE(window->SaveToFile(QString()));
    EXPECT_EQ(window->Training.Header.Modified, 0);
    EXPECT_EQ(main.LastDir, home.filePath("runs") + "/");
    EXPECT_EQ(main.RecentFiles.value(0), chosenName);
    window->Training.Header.Modified = 1;
    EXPECT_TRUE(window->SaveToFile(TrainingDisplayName(window->Training)));
    EXPECT_EQ(main.FilesSaved, 2);
    EXPECT_EQ(boxes.size(), 1u);
}

// Save As through its dialog as a person uses it: the type chosen gives a name typed without an
// extension its extension; a user file keeps the session's training named and modified, so that
// closing it asks; the program's settings file is never written over.
TEST_F(TrainingWindowSave, SaveAsAUserFileAndOverTheSettingsFile)
{
    MessageBoxHook = nullptr;
    TUiPrompt::SaveDialogHook = nullptr;
    SplashDisplayTimeOverride = 0;
    const auto noSplash = qScopeGuard([] { SplashDisplayTimeOverride = -1; });
    TfrmMain main;
    main.show();
    FinishStartup(main);
    main.LastDir = home.path() + "/";
    TfrmTraining* window = ModifiedWindow(main, "Morning");
    QApplication::setActiveWindow(&main);
    // In the file dialog: the type so many entries down, the name typed, Enter.
    const auto typeName = [](const QString& typed, int typeSteps) {
        return [typed, typeSteps](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_TRUE(dialog) << modal->metaObject()->className();
            auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
            for (int i = 0; i < typeSteps; ++i)
                QTest::keyClick(types, Qt::Key_Down);
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(name, typed);
            if (QCompleter* completer = name->completer(); completer && completer->popup()->isVisible())
                QTest::keyClick(completer->popup(), Qt::Key_Escape);
            QTest::keyClick(name, Qt::Key_Return);
        };
    };
    QStringList said;
    const auto press = [&said](std::function<QAbstractButton*(QMessageBox*)> button, Qt::Key key) {
        return [&said, button, key](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_TRUE(box);
            said << box->text();
            if (button)
                QTest::mouseClick(button(box), Qt::LeftButton);
            else
                QTest::keyClick(box, key);
        };
    };
    const TStgHeader before = window->Training.Header;
    {
        TModalSteps steps({typeName("userC", 1)});
        ASSERT_TRUE(ChooseFromMenu(main.menuBar(), main.mnuFile, main.FileSaveAs));
        EXPECT_TRUE(steps.Steps.empty());
    }
    EXPECT_EQ(ReadAllBytes(home.filePath("userC.ini")).size(), kUserFileSize);
    EXPECT_EQ(QDir(home.path()).entryList({"userC*"}), QStringList{"userC.ini"});
    EXPECT_EQ(window->Training.Header, before);  // named as it was, modified
    EXPECT_TRUE(window->gbxRecording->title().endsWith(" (*)"));
    main.UpdateActions();
    EXPECT_TRUE(main.FileSave->isEnabled());
    EXPECT_TRUE(said.isEmpty());

    // Replacing the settings file is confirmed in the dialog, then refused with a message.
    const QString settings = GetUserIniFileName(true);
    ASSERT_TRUE(WriteAllBytes(settings, "[Options]\nLastDir=/x/\n"));
    main.LastDir = QFileInfo(settings).path() + "/";
    {
        TModalSteps steps({typeName(QFileInfo(settings).fileName(), 1), press([](QMessageBox* box) { return box->button(QMessageBox::Yes); }, {}),
                           press({}, Qt::Key_Return)});
        ASSERT_TRUE(ChooseFromMenu(main.menuBar(), main.mnuFile, main.FileSaveAs));
        EXPECT_TRUE(steps.Steps.empty());
    }
    EXPECT_EQ(ReadAllBytes(settings), "[Options]\nLastDir=/x/\n");
    ASSERT_EQ(said.size(), 2);
    EXPECT_EQ(said[1], "Cannot save as \"" + settings + "\"\n" + SettingsFileOverwriteReason());
    EXPECT_EQ(window->Training.Header.Modified, 1);

    // Closing asks: the session is in no training file yet.
    said.clear();
    {
        TModalSteps steps({press({}, Qt::Key_Escape)});
        ClickAt(window->btbClose);
        EXPECT_TRUE(steps.Steps.empty());
    }
    EXPECT_EQ(said, QStringList{"Training session \"Morning\" is modified. Close anyway? "});
    EXPECT_FALSE(window->Closing);
}

TEST_F(TrainingWindowSave, SettingsAndHistoryListsOfTwoWindows)
{
    const QString ini = GetUserIniFileName(true);
    ASSERT_TRUE(WriteAllBytes(ini, QByteArray("[Name]\n0=Ann\n[Training]\nLeft=5\nTop=6\nWidth=400\nHeight=300\n"
                                              "IntColumns=60 70\n")));
    TfrmMain main;
    TfrmTraining* first = main.NewTraining(GetUserIniFileName(false));
    TfrmTraining* second = main.NewTraining(GetUserIniFileName(false));
    EXPECT_EQ(QRect(first->BoundsLeft, first->BoundsTop, first->BoundsWidth, first->BoundsHeight), QRect(5, 6, 400, 300));
    EXPECT_EQ(first->sgdIntervals->columnWidth(1), 60);
    EXPECT_EQ(first->cmbName->count(), 1);

    first->cmbName->addItem("Cid");
    second->cmbName->addItem("Dan");
    second->cmbEvent->addItem("Head race");
    first->Close();
    second->Close();
    QCoreApplication::processEvents();

    TIniFile settings(ini);
    QStringList names;
    settings.ReadSectionValues("Name", names);
    EXPECT_EQ(names, (QStringList{"0=Ann", "1=Cid", "2=Dan"}));
    settings.ReadSectionValues("Event", names);
    EXPECT_EQ(names, QStringList{"0=Head race"});
    EXPECT_TRUE(settings.ValueExists("Training", "IntColumns"));
}

TEST_F(TrainingWindowSave, ProgramExitAsksForEachModifiedTraining)
{
    TfrmMain main;
    main.show();
    QPointer<TfrmTraining> window = ModifiedWindow(main, "Unsaved");
    answers = {B::Ok, B::Cancel};  // exit: yes; close the modified training anyway: no
    main.close();
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].Text, "Training session \"Unsaved\" is modified. Close anyway? ");
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(main.Exiting);
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->Closing);

    answers = {B::Ok, B::Ok};
    main.close();
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.size(), 4u);
    EXPECT_FALSE(main.isVisible());
}
