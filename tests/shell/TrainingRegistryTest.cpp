// The main window's training registry: ids, order, spare records, opening files, the recent
// list and its menu, drops and hand-overs, the row window's start.
#include "support/FakePrompt.h"
#include "support/FileHelpers.h"
#include "support/MainWindowHome.h"
#include "support/QtPrinters.h"
#include "support/TrainingBuilder.h"
#include "foundation/core/AppUtils.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "platform/FileNames.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "shell/SingleInstance.h"
#include "shell/SplashWindow.h"
#include "shell/StatusPanels.h"
#include "shell/TrainingViews.h"
#include "widgets/UiUtils.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Hands a drop to the main window's handler.
struct TDropReach : TfrmMain {
    static void Drop(TfrmMain& form, QDropEvent* e) { (form.*&TDropReach::dropEvent)(e); }
};
constexpr auto Drop = &TDropReach::Drop;

class RegistryTest : public TMainWindowHome {
protected:
    // A training file; its title names it.
    QString WriteTraining(const QString& name, TColor color = 0x0000FF, int strokes = 3)
    {
        TTraining t = MakeRowedTraining(strokes);
        t.Header.Title = name.toStdString();
        t.Header.Color = std::int32_t(color);
        const QString path = home.filePath(name);
        EXPECT_TRUE(WriteStgFile(path, t));
        return path;
    }
    QStringList Titles() const
    {
        QStringList titles;
        for (int n = 0; n < form->TrainingCount(); ++n)
            titles << Cp1252ToQString(form->TrainingWindow(n)->Training.Header.Title);
        return titles;
    }
    void Activate(int n)
    {
        form->MdiArea->setActiveSubWindow(form->TrainingWindow(n)->SubWindow());
    }
};

// Records what the registry tells a view.
struct TFakeView : QWidget, TTrainingViews {
    QStringList calls;
    void TrainingListChanged(bool changed) override { calls << QStringLiteral("list %1").arg(changed); }
    void RefreshTrainingViews() override { calls << QStringLiteral("refresh"); }
    void TrainingClosed(int id) override { calls << QStringLiteral("closed %1").arg(id); }
};

TEST_F(RegistryTest, IdsAndOrderStayWhileWindowsAreActivated)
{
    for (int i = 0; i < 3; ++i)
        form->NewTraining(QString());
    EXPECT_EQ(Titles(), QStringList({"Anyone", "Anyone1", "Anyone2"}));
    for (int front : {0, 2, 1, 0}) {
        Activate(front);
        ASSERT_EQ(form->ActiveMDIChild(), form->TrainingWindow(front));
        for (int n = 0; n < 3; ++n) {
            EXPECT_EQ(form->TrainingId(n), 101 + n);
            // The child index leads to the same window, wherever it is in the stacking.
            const int child = form->ChildIndexOfTraining(n);
            ASSERT_GE(child, 0);
            EXPECT_EQ(form->MDIChildren()[child], form->TrainingWindow(n));
            EXPECT_EQ(form->IndexOfTraining(101 + n), child);
        }
    }
    // Outside 0 .. count - 1: no window.
    for (int n : {-1, 3}) {
        EXPECT_EQ(form->TrainingWindow(n), nullptr) << n;
        EXPECT_EQ(form->TrainingId(n), -1) << n;
        EXPECT_EQ(form->ChildIndexOfTraining(n), -1) << n;
    }
    EXPECT_EQ(form->IndexOfTraining(99), -1);
}

TEST_F(RegistryTest, AnonymousNumbersFollowTheTitlesInUse)
{
    struct Case {
        QStringList titles;
        std::int64_t next;
    };
    const Case cases[] = {
        {{}, 0},
        {{"Anyone", "Anyone2", "Anyone7"}, 8},
        {{"Anyone7", "Anyone", "Anyone2"}, 10},
        {{"AnyoneX"}, 1},  // a letter after it counts as plain "Anyone"
        {{"anyone3", "Bert"}, 4},
        {{"Anyone2147483648"}, 1},                     // too large a number: not a number
        {{"Anyone2147483647", "Anyone"}, 2147483649},  // past the largest number a title holds
    };
    for (const Case& c : cases) {
        for (TfrmTraining* w : form->TrainingWindows())
            delete w->SubWindow();
        for (const QString& title : c.titles) {
            TfrmTraining* w = form->NewTraining(QString());
            w->Training.Header.Title = QStringToCp1252(title);
        }
        EXPECT_EQ(form->NextAnonymousNumber(), c.next) << c.titles.join(' ').toStdString();
    }
    EXPECT_EQ(form->NewTraining(QString())->Training.Header.Title, "Anyone2147483649");
}

TEST_F(RegistryTest, SpareRecordsLieBeyondTheCountAndClosingWindowsAreLeftOut)
{
    for (int i = 0; i < 3; ++i)
        form->NewTraining(QString());
    for (int k = 1; k <= 4; ++k)
        form->SpareTraining(-k).Header.Title = "spare" + std::to_string(k);
    TFakeView strokeData;
    form->frmStrokeData = &strokeData;

    form->TrainingWindow(1)->Close();
    EXPECT_EQ(form->TrainingCount(), 2);
    EXPECT_EQ(form->TrainingId(1), 103);
    EXPECT_EQ(form->IndexOfTraining(102), -1);
    EXPECT_EQ(strokeData.calls, QStringList({"closed 102"}));

    TTraining t;
    for (int k = 0; k < 4; ++k) {
        form->GetTraining(2 + k, t);
        EXPECT_EQ(t.Header.Title, "spare" + std::to_string(k + 1));
        EXPECT_EQ(form->TrainingPtr(2 + k), &form->SpareTraining(-(k + 1)));
    }
    // Outside 0 .. count + 3 the record stays cleared.
    for (int n : {-1, 6, 100}) {
        t.Header.Title = "old";
        form->GetTraining(n, t);
        EXPECT_EQ(t, TTraining{});
        EXPECT_EQ(form->TrainingPtr(n), nullptr);
    }
    form->GetTrainingById(103, t);
    EXPECT_EQ(t.Id, 103);
    form->frmStrokeData = nullptr;
}

TEST_F(RegistryTest, OpeningFilesAndItsMessages)
{
    const QString run = WriteTraining(QStringLiteral("run.stg"));
    TFakeView row;
    form->frmRow = &row;
    ASSERT_TRUE(form->OpenFile(QString(), run));
    ASSERT_TRUE(form->OpenFile(QString(), run));
    ASSERT_EQ(form->TrainingCount(), 2);
    EXPECT_EQ(form->TrainingWindow(1)->Training.Id, 102);
    // Opened at its first stroke, active when it has strokes.
    EXPECT_EQ(form->TrainingWindow(1)->Training.Header.CurrentStroke, 1);
    EXPECT_EQ(form->TrainingWindow(1)->Training.Header.Active, 1);
    EXPECT_EQ(form->RecentFiles, QStringList({run}));
    EXPECT_EQ(form->FilesOpened, 2);
    EXPECT_EQ(form->LastDir, QFileInfo(run).absolutePath());
    EXPECT_EQ(form->StatusBar->Panel(2).Text, QString());
    EXPECT_EQ(row.calls, QStringList({"list 1", "list 1"}));
    EXPECT_TRUE(messages.isEmpty());

    // Missing file: message, and the name leaves the recent list. A load that fails leaves no
    // window and no "Opening file" text behind; what exists but cannot be read says why.
    const QString gone = home.filePath(QStringLiteral("gone.stg"));
    form->RecentFiles.prepend(gone);
    ASSERT_TRUE(WriteAllBytes(home.filePath(QStringLiteral("notes.xyz")), QByteArray("x")));
    ASSERT_TRUE(WriteAllBytes(home.filePath(QStringLiteral("broken.stg")), QByteArray("MIL broken")));
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("folder")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.filePath(QStringLiteral("pipe.stg"))).constData(), 0600), 0);
    const QString locked = WriteTraining(QStringLiteral("locked.stg"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
    struct Case { QString Name; QString Message; };
    const QString reading = QStringLiteral("Error reading file \"%1\"");
    std::vector<Case> cases{{gone, QStringLiteral("File \"%1\" not found.")},
                            {home.filePath(QStringLiteral("notes.xyz")), QStringLiteral("Extension \".xyz\" not supported.")},
                            {home.filePath(QStringLiteral("broken.stg")), reading},
                            {home.filePath(QStringLiteral("folder")), reading + QStringLiteral("\nIs a directory")},
                            {home.filePath(QStringLiteral("pipe.stg")), reading + QStringLiteral("\nNot a regular file")},
                            {QStringLiteral("/dev/null"), reading + QStringLiteral("\nNot a regular file")}};
    if (::geteuid() != 0)  // root reads it all the same
        cases.push_back({locked, reading + QStringLiteral("\nPermission denied")});
    TFakePrompt loader;  // the loader's own messages
    for (const Case& c : cases) {
        messages.clear();
        loader.Texts.clear();
        EXPECT_FALSE(form->OpenFile(QString(), c.Name)) << c.Name.toStdString();
        EXPECT_EQ(messages + loader.Texts, QStringList{c.Message.arg(c.Name)});
    }
    // A name that is not UTF-8 reaches its file, and is shown as it reads in Windows-1252.
    const QByteArray raw = QFile::encodeName(home.path()) + "/r\xFC" "ck.stg";
    ASSERT_EQ(::rename(QFile::encodeName(WriteTraining(QStringLiteral("plain.stg"))).constData(), raw.constData()), 0);
    messages.clear();
    EXPECT_TRUE(form->OpenFile(QString(), DecodeFileName(raw)));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(form->TrainingCount(), 3);
    form->TrainingWindow(2)->Close();
    ASSERT_EQ(::unlink(raw.constData()), 0);
    EXPECT_FALSE(form->OpenFile(QString(), DecodeFileName(raw)));
    EXPECT_EQ(messages, QStringList{QStringLiteral("File \"%1\" not found.").arg(home.filePath(QStringLiteral("r\u00fcck.stg")))});

    EXPECT_EQ(form->RecentFiles, QStringList({run}));
    EXPECT_EQ(form->TrainingCount(), 2);
    EXPECT_EQ(form->StatusBar->Panel(2).Text, QString());
    EXPECT_EQ(form->FilesOpened, 3);
    form->frmRow = nullptr;
}

TEST_F(RegistryTest, DistinctColoursTakeTheFirstFreeOne)
{
    form->DistinctColours = true;
    const QString red = WriteTraining(QStringLiteral("red.stg"), 0x0000FF);
    const QString lime = WriteTraining(QStringLiteral("lime.stg"), 0x00FF00);
    ASSERT_TRUE(form->OpenFile(QString(), red));
    ASSERT_TRUE(form->OpenFile(QString(), lime));
    ASSERT_TRUE(form->OpenFile(QString(), red));
    EXPECT_EQ(form->TrainingWindow(2)->Training.Header.Color, 0x00FFFF);  // yellow, the third
    form->DistinctColours = false;
    ASSERT_TRUE(form->OpenFile(QString(), red));
    EXPECT_EQ(form->TrainingWindow(3)->Training.Header.Color, 0x0000FF);
}

TEST_F(RegistryTest, RecentListAndMenu)
{
    QStringList names;
    for (int i = 1; i <= 10; ++i)
        names << QStringLiteral("/data/run%1.stg").arg(i);
    form->RecentFiles.clear();
    for (int i = 0; i < 8; ++i)
        form->AddRecentFile(names[i]);
    // A full list holds nine right after a new name; the next one still leaves nine.
    form->AddRecentFile(names[8]);
    EXPECT_EQ(form->RecentFiles.size(), 9);
    form->AddRecentFile(names[9]);
    EXPECT_EQ(form->RecentFiles.size(), 9);
    EXPECT_EQ(form->RecentFiles.first(), names[9]);
    EXPECT_EQ(form->RecentFiles.last(), names[1]);
    // The same name in another case moves to the top once.
    form->AddRecentFile(QStringLiteral("/DATA/RUN5.stg"));
    EXPECT_EQ(form->RecentFiles.first(), QStringLiteral("/DATA/RUN5.stg"));
    EXPECT_EQ(form->RecentFiles.count(QStringLiteral("/data/run5.stg")), 0);
    form->RemoveRecentFile(QStringLiteral("/data/run9.stg"));
    EXPECT_FALSE(form->RecentFiles.contains(names[8]));

    // The menu follows the list, one item an entry; a click opens its entry.
    ASSERT_EQ(form->RecentItems.size(), form->RecentFiles.size() + 1);  // and a separator
    EXPECT_EQ(form->RecentItems.first()->text(), QStringLiteral("&1 /DATA/RUN5.stg"));
    QStringList opened;
    form->OnOpenFile = [&](const QString& name) {
        opened << name;
        return true;
    };
    form->RecentItems[1]->trigger();
    EXPECT_EQ(opened, QStringList({form->RecentFiles[1]}));
}

TEST_F(RegistryTest, DropsAndHandOversOpenTheirFilesInOrder)
{
    const QString a = WriteTraining(QStringLiteral("a.stg"));
    const QString b = WriteTraining(QStringLiteral("b.stg"));
    // A path past 260 characters is opened whole.
    const QString deep = QString(60, QLatin1Char('d')) + QLatin1Char('/') + QString(60, QLatin1Char('e')) +
                         QLatin1Char('/') + QString(60, QLatin1Char('f')) + QLatin1Char('/') +
                         QString(60, QLatin1Char('g'));
    ASSERT_TRUE(QDir(home.path()).mkpath(deep));
    const QString c = WriteTraining(deep + QStringLiteral("/c.stg"));
    ASSERT_GT(c.size(), 260);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b), QUrl::fromLocalFile(c)});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    Drop(*form, &drop);
    QCoreApplication::processEvents();
    ASSERT_EQ(form->TrainingCount(), 3);
    EXPECT_EQ(Titles().mid(0, 2), QStringList({"a.stg", "b.stg"}));
    EXPECT_EQ(form->RecentFiles.first(), c);
    EXPECT_TRUE(Titles()[2].endsWith(QStringLiteral("/c.stg")));

    // A second copy hands its file over: it opens here.
    InstanceText = GetCommandLineText({a});
    form->OtherInstance();
    ASSERT_EQ(form->TrainingCount(), 4);
    EXPECT_EQ(Titles()[3], QStringLiteral("a.stg"));
    EXPECT_EQ(form->RecentFiles.first(), a);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    // Open takes the dialog's files in its order; New adds an anonymous training.
    form->AskOpenFileNames = [&] { return QStringList({b, a}); };
    form->FileOpen->trigger();
    form->FileNew->trigger();
    EXPECT_EQ(Titles().mid(4), QStringList({"b.stg", "a.stg", "Anyone"}));

    // A file that fails to open is said, the next one is still tried, and the program goes on.
    QStringList tried;
    form->OnOpenFile = [&](const QString& name) -> bool {
        tried << name;
        throw std::runtime_error("broken record");
    };
    Drop(*form, &drop);
    EXPECT_NO_THROW(QCoreApplication::processEvents());
    EXPECT_EQ(tried, QStringList({a, b, c}));
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[0].contains(a) && messages[0].contains(QStringLiteral("broken record")));
}

TEST_F(RegistryTest, RowWindowStopsAfterItsTrainingWindowUntilThereIsOne)
{
    // No row window kind yet: the session's training window is made, minimised, and the guard
    // is free again.
    EXPECT_FALSE(form->OpenRowWindow(QString(), QString()));
    EXPECT_FALSE(RowWindowOpening);
    ASSERT_EQ(form->TrainingCount(), 1);
    TfrmTraining* session = form->TrainingWindow(0);
    EXPECT_EQ(session->Training.Header.ContentKind, 7);
    EXPECT_TRUE(ChildFrame(session)->windowState() & Qt::WindowMinimized);

    // With a row window maker: the active empty user training is used when the user says so.
    Activate(0);
    TfrmTraining* recordedInto = nullptr;
    form->CreateRowWindow = [&](TfrmTraining* window, const QString&) -> QWidget* {
        recordedInto = window;
        EXPECT_TRUE(RowWindowOpening);
        return new QWidget(form.get());
    };
    TMessageBoxes yes(QMessageBox::Yes);
    EXPECT_TRUE(form->OpenRowWindow(QString(), QString()));
    EXPECT_EQ(yes.Texts, QStringList({"Use current User file to record a training session?"}));
    EXPECT_EQ(recordedInto, session);
    EXPECT_EQ(form->TrainingCount(), 1);
    EXPECT_FALSE(RowWindowOpening);

    // One row window: a second call only brings it forward.
    EXPECT_FALSE(form->OpenRowWindow(QString(), QString()));
    EXPECT_EQ(form->TrainingCount(), 1);

    // A missing user file is said without the final period.
    delete form->frmRow.data();
    form->RecentFiles = QStringList({QStringLiteral("/no/user.ini")});
    EXPECT_FALSE(form->OpenRowWindow(QString(), QStringLiteral("/no/user.ini")));
    EXPECT_EQ(yes.Texts.last(), QStringLiteral("File \"/no/user.ini\" not found"));
    EXPECT_TRUE(form->RecentFiles.isEmpty());

    // The new-session dialog's Cancel ends it without a window.
    form->RunNewSessionDialog = [](const QString&, TTraining&) { return false; };
    form->MdiArea->setActiveSubWindow(nullptr);
    EXPECT_FALSE(form->OpenRowWindow(QString(), QString()));
    EXPECT_EQ(form->TrainingCount(), 1);
    EXPECT_FALSE(RowWindowOpening);
}

}  // namespace
