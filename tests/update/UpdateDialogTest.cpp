// The update dialog against a loopback server that serves an update document, release notes
// and a stand-in program: when it offers a version, its buttons, the release notes, a good
// update that replaces and restarts the program, and every download that must leave the old
// program as it was.
#include "update/UpdateDialog.h"

#include "UpdateFixtures.h"
#include "foundation/core/AppUtils.h"
#include "support/FakePrompt.h"
#include "support/FileHelpers.h"
#include "support/LoopbackServer.h"
#include "support/QtPrinters.h"
#include "widgets/UiUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>

namespace {

// What the server sends for one path.
struct TServed {
    std::string Body;
    std::int64_t Length = -2;  // Content-Length: -2 the body's size, -1 none
    std::size_t Send = std::string::npos;  // bytes of the body sent before the server hangs up
    int Status = 200;
    std::function<void(TLoopbackConnection&)> Play = nullptr;  // answers in its own way instead
};

// A click as a person makes it: on whatever lies under the middle of the button.
void ClickOn(QWidget* button) {
    QWidget* window = button->window();
    const QPoint at = button->mapTo(window, button->rect().center());
    QWidget* under = window->childAt(at);
    ASSERT_EQ(under, button);
    QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(window, at));
}

class UpdateDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Old = FakeProgram(OldTag);
        New = FakeProgram(NewTag);
        ASSERT_TRUE(WriteProgram(Program, Old));
        MessageBoxHook = [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons) {
            Boxes.push_back({icon, text});
            return QMessageBox::Ok;
        };
        Serve("/notes.txt", {Notes});
        Serve("/dl/KVWT", {New.toStdString()});
        Dlg = std::make_unique<TfrmUpdate>();
        Dlg->ProgramPath = Program;
        Dlg->ReplacerPath = QStringLiteral(KV_PROGRAM_PATH);
        Dlg->CurrentVersion = QStringLiteral("1.0.0.0");
        Dlg->DownloadFolder = Dir.filePath(QStringLiteral("Downloads"));
        Dlg->ExecWindow = [this](QDialog* w) {
            Memo = w->findChild<QPlainTextEdit*>(QStringLiteral("Memo"))->document()->toPlainText();
        };
        Dlg->OpenAddress = [this](const QString& a) { Opened << a; };
        Dlg->StartInstaller = [this](const QString& f) { Started << f; };
        Dlg->OnTerminate = [this] { ++Terminated; };
        Dlg->show();
    }

    void TearDown() override {
        if (Dlg && Dlg->Replacer) {  // let a started replacement end
            ::close(Dlg->Replacer->WaitFd);
            WaitExit(Dlg->Replacer->Pid);
        }
        Dlg.reset();
        MessageBoxHook = nullptr;
    }

    void Serve(const std::string& path, TServed served) {
        std::lock_guard<std::mutex> lock(Lock);
        Served[path] = std::move(served);
    }

    void Script(TLoopbackConnection& c) {
        const std::string request = c.ReadRequest();
        const std::size_t from = request.find(' ') + 1;
        const std::string path = request.substr(from, request.find(' ', from) - from);
        TServed s;
        {
            std::lock_guard<std::mutex> lock(Lock);
            const auto it = Served.find(path);
            s = it != Served.end() ? it->second : TServed{"not here", -2, std::string::npos, 404};
        }
        if (s.Play) {
            s.Play(c);
            return;
        }
        std::string head = "HTTP/1.0 " + std::to_string(s.Status) + (s.Status == 200 ? " OK" : " Not Found") + "\r\n";
        const std::int64_t length = s.Length == -2 ? std::int64_t(s.Body.size()) : s.Length;
        if (length >= 0)
            head += "Content-Length: " + std::to_string(length) + "\r\n";
        c.Write(head + "\r\n" + s.Body.substr(0, s.Send));
    }

    // The update document: the defaults with some keys changed ("" drops a key).
    std::string Document(const std::map<std::string, std::string>& changes = {}) {
        std::vector<std::pair<std::string, std::string>> lines = {
            {"Name", "Kavelo Training"}, {"Description", "Rowing ergometer training"},
            {"Version", "2.0.0.0"}, {"Date", "2026-03-01"},
            {"Releasenotes", Server.Url("/notes.txt")}, {"ReleasenotesSize", std::to_string(Notes.size())},
            {"Homepage", "http://kavelo.invalid/"}, {"Install", Server.Url("/dl/KVWT")},
            {"InstallSize", std::to_string(New.size())}, {"InstallSHA256", Sha256Hex(New).toStdString()}};
        std::string text;
        for (auto& [key, value] : lines) {
            const auto it = changes.find(key);
            const std::string v = it == changes.end() ? value : it->second;
            if (!v.empty())
                text += key + "=" + v + "\r\n";
        }
        return text;
    }

    bool CheckWith(const std::string& document) {
        Serve("/update.txt", {document});
        return Dlg->Check(QString::fromStdString(Server.Url("/update.txt")));
    }

    std::string Buttons() const {  // r h i: enabled
        return std::string(Dlg->btnRelease->isEnabled() ? "r" : "-") + (Dlg->btnHomepage->isEnabled() ? "h" : "-") +
               (Dlg->btnInstall->isEnabled() ? "i" : "-");
    }

    QTemporaryDir Dir;
    QString Program = Dir.filePath(QStringLiteral("kvwt"));
    QByteArray Old, New;
    std::string Notes = "First\r\nsecond\n\rthird\rfourth\nfifth";
    std::mutex Lock;
    std::map<std::string, TServed> Served;
    TLoopbackServer Server{[this](TLoopbackConnection& c) { Script(c); }};
    TFakePrompt Prompt;  // the save dialog: Cancel while ChosenName is empty
    std::unique_ptr<TfrmUpdate> Dlg;
    std::vector<std::pair<QMessageBox::Icon, QString>> Boxes;
    QString Memo;
    QStringList Opened, Started;
    int Terminated = 0;
};

// Only a newer version from a whole document is offered; each button needs its keys. An answer
// that is no update document fails the check with its reason.
TEST_F(UpdateDialogTest, OffersANewerVersionWithTheButtonsOfItsKeys) {
    const std::string overflow(UpdateTextBufferSize, 'x');
    const QString notADocument =
        QStringLiteral("The answer is not an update document: it has no \"Version\" of four numbers (a.b.c.d).");
    const struct {
        const char* Name;
        std::string Document;
        int Status;
        bool Offered;
        const char* Buttons;
        QString Error;
    } cases[] = {
        {"newer", Document(), 200, true, "rhi", {}},
        {"same version", Document({{"Version", "1.0.0.0"}}), 200, false, "---", {}},
        {"no version", Document({{"Version", ""}}), 200, false, "---", notADocument},
        {"a version of two numbers", Document({{"Version", "2.0"}}), 200, false, "---", notADocument},
        {"a web page", "<html><body>Welcome</body></html>", 200, false, "---", notADocument},
        {"nothing", "", 200, false, "---", notADocument},
        {"overflowing document", Document() + "Padding=" + overflow + "\r\n", 200, false, "---",
         QStringLiteral("The update document is larger than 65534 bytes.")},
        {"error page", Document(), 404, false, "---", QStringLiteral("Not Found (HTTP status 404)")},
        {"homepage without install", Document({{"Install", ""}}), 200, true, "rh-", {}},
        {"homepage only", Document({{"Install", ""}, {"Releasenotes", ""}}), 200, true, "-h-", {}},
        {"install without size", Document({{"InstallSize", ""}}), 200, true, "rh-", {}},
        {"notes without size", Document({{"ReleasenotesSize", ""}}), 200, true, "-hi", {}},
        {"nothing but a version", Document({{"Releasenotes", ""}, {"Homepage", ""}, {"Install", ""}}), 200, true, "---", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Serve("/update.txt", {c.Document, -2, std::string::npos, c.Status});
        EXPECT_EQ(Dlg->Check(QString::fromStdString(Server.Url("/update.txt"))), c.Offered);
        EXPECT_EQ(Buttons(), c.Buttons);
        EXPECT_EQ(Dlg->LastError, c.Error);
        EXPECT_FALSE(Dlg->CheckCancelled());
    }
    EXPECT_FALSE(Dlg->Check(QStringLiteral("http://127.0.0.1:%1/").arg(RefusingPort())));
    EXPECT_EQ(Dlg->LastError, QStringLiteral("Connection refused (Error #10061)"));
    // The program's own version offers nothing: no window.
    Serve("/update.txt", {Document({{"Version", GetFileVersion().toStdString()}})});
    QString error;
    EXPECT_EQ(CheckForUpdate(QString::fromStdString(Server.Url("/update.txt")), nullptr, &error), ucNoUpdate);
    EXPECT_TRUE(error.isEmpty());
}

TEST_F(UpdateDialogTest, ReleaseNotesShowOneLineBreakForEachLineEnd) {
    ASSERT_TRUE(CheckWith(Document({{"ReleasenotesSize", "10"}})));  // smaller than the notes
    int highest = 0;
    QObject::connect(Dlg->Progress, &QProgressBar::valueChanged, [&](int v) { highest = std::max(highest, v); });
    ClickOn(Dlg->btnRelease);
    EXPECT_EQ(Memo, QStringLiteral("First\nsecond\nthird\nfourth\nfifth"));
    EXPECT_EQ(highest, 10);  // never past the announced size
    EXPECT_EQ(Dlg->Progress->value(), 0);
    EXPECT_TRUE(Dlg->btnRelease->isEnabled());

    // A missing text is an error message, and the button comes back.
    Memo.clear();
    Serve("/notes.txt", {"gone", -2, std::string::npos, 404});
    ClickOn(Dlg->btnRelease);
    EXPECT_TRUE(Memo.isEmpty());
    ASSERT_FALSE(Boxes.empty());
    EXPECT_EQ(Boxes.back().first, QMessageBox::Warning);
    EXPECT_TRUE(Dlg->btnRelease->isEnabled());
}

// A good update replaces the program and restarts it. A file changed after the dialog checked
// it is refused by the replacement, which keeps and restarts the old program and leaves the
// reason for the next start.
TEST_F(UpdateDialogTest, UpdateReplacesTheProgramOnlyAsChecked) {
    const struct {
        const char* Name;
        QByteArray ChangedTo;  // written over the download while the program still runs
        int Exit;
        std::string Ran;
        QByteArray Installed;
        const char* Why;
    } cases[] = {
        {"good", {}, 0, NewTag, New, nullptr},
        {"changed after the check", FakeProgram("CHANGED1"), 4, OldTag, Old, "changed after its check"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Boxes.clear();
        Terminated = 0;
        ASSERT_TRUE(CheckWith(Document({{"InstallSHA256", Sha256Hex(New).toUpper().toStdString()}})));
        TReportPipe report;
        ClickOn(Dlg->btnInstall);
        ASSERT_TRUE(Dlg->Replacer.has_value());
        EXPECT_EQ(Dlg->Target(), Program + QStringLiteral(".$$$"));
        EXPECT_EQ(Terminated, 1);
        EXPECT_EQ(Buttons(), "---");
        EXPECT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(ReadAllBytes(Program), Old);  // nothing happens while the program runs
        if (!c.ChangedTo.isNull()) {
            ASSERT_TRUE(WriteProgram(Dlg->Target(), c.ChangedTo, 0644));
        }

        ::close(Dlg->Replacer->WaitFd);  // the program ends
        EXPECT_EQ(WaitExit(Dlg->Replacer->Pid), c.Exit);
        Dlg->Replacer.reset();
        EXPECT_EQ(report.Collect(), c.Ran);
        EXPECT_EQ(ReadAllBytes(Program), c.Installed);
        EXPECT_FALSE(QFileInfo::exists(Program + QStringLiteral(".$$$")));
        EXPECT_FALSE(QFileInfo::exists(Program + QStringLiteral(".old")));
        const QString notice = TakeUpdateNotice(Program);
        EXPECT_EQ(notice.contains(QLatin1String(c.Why ? c.Why : "-")), c.Why != nullptr) << notice.toStdString();
        ASSERT_TRUE(WriteProgram(Program, Old));
    }
}

TEST_F(UpdateDialogTest, FaultyDownloadsLeaveTheOldProgram) {
    const std::string body = New.toStdString();
    const std::string foreign = ForeignProgram(NewTag).toStdString();
    const std::size_t half = body.size() / 2;
    const std::string size = std::to_string(body.size());
    const struct {
        const char* Name;
        TServed Served;
        std::map<std::string, std::string> Changes;
    } cases[] = {
        {"wrong size", {body}, {{"InstallSize", std::to_string(body.size() + 1)}}},
        {"wrong hash", {body}, {{"InstallSHA256", Sha256Hex("other").toStdString()}}},
        {"no hash", {body}, {{"InstallSHA256", ""}}},
        {"foreign program", {foreign}, {{"InstallSHA256", Sha256Hex(QByteArray::fromStdString(foreign)).toStdString()}}},
        {"truncated file", {body.substr(0, half)}, {}},
        {"server stops mid-body", {body, -2, half}, {}},
        {"no length, server stops", {body, -1, half}, {}},
        {"error page", {body, -2, std::string::npos, 404}, {}},
        {"relocation", {body, -2, std::string::npos, 302}, {}},
        {"size not a number", {body}, {{"InstallSize", "12kB"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Boxes.clear();
        Serve("/dl/KVWT", c.Served);
        ASSERT_TRUE(CheckWith(Document(c.Changes)));
        ClickOn(Dlg->btnInstall);
        EXPECT_FALSE(Dlg->Replacer.has_value());
        EXPECT_EQ(Terminated, 0);
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0].first, QMessageBox::Warning);
        EXPECT_EQ(ReadAllBytes(Program), Old);
        EXPECT_FALSE(QFileInfo::exists(Program + QStringLiteral(".$$$")));
        EXPECT_EQ(Buttons(), "rhi");
        EXPECT_EQ(Dlg->Progress->value(), 0);
    }
    EXPECT_EQ(RunAndReport(Program), OldTag);
}

TEST_F(UpdateDialogTest, DownloadModeSavesWhereTheUserChooses) {
    Dlg->ReplacerPath = Dir.filePath(QStringLiteral("missing"));
    ASSERT_TRUE(CheckWith(Document()));
    const std::size_t requests = Server.Requests().size();
    ClickOn(Dlg->btnInstall);  // Cancel in the save dialog: no download
    EXPECT_EQ(Prompt.Dialogs, 1);
    EXPECT_EQ(Server.Requests().size(), requests);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(Buttons(), "rhi");

    const QString saved = Dir.filePath(QStringLiteral("saved/kvwt-2"));
    ASSERT_TRUE(QDir().mkpath(Dir.filePath(QStringLiteral("saved"))));
    Prompt.ChosenName = saved;
    ClickOn(Dlg->btnInstall);
    EXPECT_EQ(ReadAllBytes(saved), New);
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Buttons(), "rhi");
    EXPECT_EQ(Terminated, 0);
    EXPECT_EQ(ReadAllBytes(Program), Old);
}

TEST_F(UpdateDialogTest, InstallersGoToTheDownloadsFolder) {
    Serve("/dl/setup.run?from=update", {New.toStdString()});  // the fragment stays with the client
    const std::string address = Server.Url("/dl/setup.run?from=update#x");
    ASSERT_TRUE(CheckWith(Document({{"Install", address}})));
    ClickOn(Dlg->btnInstall);
    const QString target = Dir.filePath(QStringLiteral("Downloads/setup.run"));
    EXPECT_EQ(Started, QStringList{target});
    EXPECT_EQ(ReadAllBytes(target), New);
    EXPECT_EQ(Terminated, 1);

    // Without a hash an installer is kept, never started.
    Started.clear();
    ASSERT_TRUE(CheckWith(Document({{"Install", address}, {"InstallSHA256", ""}})));
    ClickOn(Dlg->btnInstall);
    EXPECT_TRUE(Started.isEmpty());
    EXPECT_EQ(Terminated, 1);

    // An address that names no file downloads nothing.
    Boxes.clear();
    ASSERT_TRUE(CheckWith(Document({{"Install", Server.Url("/dl/..")}})));
    ClickOn(Dlg->btnInstall);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].first, QMessageBox::Warning);
    EXPECT_EQ(ReadAllBytes(Program), Old);
}

// Servers that never end their answer: each download stops at its bound, says why, and leaves
// neither the part nor a changed program behind; the server sees the connection end long
// before its own limit.
TEST_F(UpdateDialogTest, HostileServersAreCutOff) {
    constexpr std::int64_t ServerLimit = 64 << 20;
    const std::string size = std::to_string(New.size());
    const std::string chunk(16 * 1024, 'x');
    std::atomic<std::int64_t> sent{0};
    const auto endless = [&sent](const std::string& head, const std::string& piece) {
        return [&sent, head, piece](TLoopbackConnection& c) {
            if (c.Write(head))
                while (sent < ServerLimit && c.Write(piece))
                    sent += std::int64_t(piece.size());
        };
    };
    // One byte each time the progress bar has moved: alive for ever, never idle.
    const auto drip = [this](TLoopbackConnection& c) {
        if (c.Write("HTTP/1.0 200 OK\r\n\r\n"))
            for (int i = 0; i < 1000000 && c.Write("x"); ++i)
                Server.WaitGate();
    };
    QObject::connect(Dlg->Progress, &QProgressBar::valueChanged, [this](int v) {
        if (v > 0)
            Server.OpenGate();
    });
    const struct {
        const char* Name;
        std::function<void(TLoopbackConnection&)> Play;
        std::string InstallSize;
        const char* Why;
    } cases[] = {
        {"endless body, no length", endless("HTTP/1.0 200 OK\r\n\r\n", chunk), size,
         "The document is larger than the"},
        {"endless body beyond its length", endless("HTTP/1.0 200 OK\r\nContent-Length: " + size + "\r\n\r\n", chunk),
         size, "not a program"},
        {"slow drip", drip, "100000000", "Connection timed out"},
    };
    Dlg->RequestTimeoutMs = 2000;  // instead of minutes; only the drip lives that long
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Boxes.clear();
        sent = 0;
        Serve("/dl/KVWT", {{}, -2, std::string::npos, 200, c.Play});
        ASSERT_TRUE(CheckWith(Document({{"InstallSize", c.InstallSize}})));
        ClickOn(Dlg->btnInstall);
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0].first, QMessageBox::Warning);
        EXPECT_TRUE(Boxes[0].second.contains(QLatin1String(c.Why))) << Boxes[0].second.toStdString();
        EXPECT_FALSE(QFileInfo::exists(Program + QStringLiteral(".$$$")));
        EXPECT_EQ(ReadAllBytes(Program), Old);
        EXPECT_FALSE(Dlg->Replacer.has_value());
        EXPECT_LT(sent, ServerLimit);
    }
}

// The check and the requests of the dialog can be cancelled; a cancel says nothing and leaves
// nothing behind.
TEST_F(UpdateDialogTest, CancelEndsTheRunningRequest) {
    const auto silent = [](TLoopbackConnection& c) {
        c.Write("HTTP/1.0 200 OK\r\n\r\n" + std::string(100, 'x'));
        c.ReadToEnd();  // until the client hangs up
    };
    Serve("/update.txt", {{}, -2, std::string::npos, 200, silent});
    bool offered = false;
    QTimer::singleShot(0, Dlg.get(), [&offered, this] {
        offered = Dlg->CheckingWindow() && Dlg->CheckingWindow()->isVisible();
        if (offered)
            ClickOn(Dlg->CheckingWindow()->findChild<QPushButton*>());
    });
    EXPECT_FALSE(Dlg->Check(QString::fromStdString(Server.Url("/update.txt"))));
    EXPECT_TRUE(offered);
    EXPECT_EQ(Dlg->LastError, QStringLiteral("HTTP request aborted"));
    EXPECT_TRUE(Dlg->CheckCancelled());
    EXPECT_TRUE(Boxes.empty());

    ASSERT_TRUE(CheckWith(Document()));
    Serve("/dl/KVWT", {{}, -2, std::string::npos, 200, silent});
    bool cancelled = false;
    QObject::connect(Dlg->Progress, &QProgressBar::valueChanged, [&cancelled, this](int v) {
        if (v > 0 && !cancelled) {
            cancelled = true;
            ClickOn(Dlg->btnClose);
        }
    });
    ClickOn(Dlg->btnInstall);
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(QFileInfo::exists(Program + QStringLiteral(".$$$")));
    EXPECT_EQ(Buttons(), "rhi");
    EXPECT_TRUE(Dlg->isVisible());  // the cancel ended the download, not the dialog
    ClickOn(Dlg->btnClose);
    EXPECT_FALSE(Dlg->isVisible());
}

// The homepage comes with the document over plain HTTP: only a web address is opened.
TEST_F(UpdateDialogTest, HomepageOpensOnlyWebAddresses) {
    const struct {
        const char* Homepage;
        bool Opens;
    } cases[] = {
        {"https://kavelo.invalid/news", true},
        {"HTTP://kavelo.invalid/", true},
        {"file:///usr/bin/xterm", false},
        {"/tmp/tool.sh", false},
        {"tool.sh", false},
        {"javascript:alert(1)", false},
        {"http:///no-host", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Homepage);
        Opened.clear();
        Boxes.clear();
        ASSERT_TRUE(CheckWith(Document({{"Homepage", c.Homepage}})));
        ClickOn(Dlg->btnHomepage);
        EXPECT_EQ(Opened, c.Opens ? QStringList{QString::fromLatin1(c.Homepage)} : QStringList());
        ASSERT_EQ(Boxes.size(), c.Opens ? 0u : 1u);
        if (!c.Opens) {
            EXPECT_TRUE(Boxes[0].second.contains(QLatin1String(c.Homepage)));
        }
    }
}

}  // namespace
