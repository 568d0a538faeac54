// Help > Update chosen by mouse in the main window, against a local server: a check that fails
// says that it failed and why; "No update available" comes only after a check that got an update
// document; a newer version shows the update dialog.
#include "support/LoopbackServer.h"
#include "support/MainWindowHome.h"
#include "support/UiInput.h"
#include "foundation/core/AppUtils.h"
#include "platform/IniFiles.h"
#include "update/UpdateDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>
#include <mutex>

namespace {

// Closes each update dialog by its Close button as soon as it shows, and keeps the version it
// offered.
class TUpdateDialogCloser : public QObject {
public:
    TUpdateDialogCloser() { qApp->installEventFilter(this); }
    ~TUpdateDialogCloser() override { qApp->removeEventFilter(this); }
    QStringList Offered;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<TfrmUpdate*>(watched);
        if (dialog && event->type() == QEvent::Show) {
            Offered << dialog->lblLatestVersion_->text();
            QTimer::singleShot(0, dialog, [dialog] { ClickAt(dialog->btnClose); });
        }
        return false;
    }
};

class UpdateMenuTest : public TMainWindowHome {
protected:
    // A main window whose settings give this update address, shown.
    void OpenWith(const QString& address) {
        form.reset();
        TIniFile ini(GetUserIniFileName(true));
        ini.WriteString(QStringLiteral("Options"), QStringLiteral("UpdateAddress"), address);
        ASSERT_TRUE(ini.UpdateFile());
        NewForm();
        form->show();
        form->UpdateActions();  // as when the program is idle
    }

    std::mutex Lock;
    std::string Answer;  // what the server says to every request
    TLoopbackServer Server{[this](TLoopbackConnection& c) {
        c.ReadRequest();
        std::lock_guard<std::mutex> lock(Lock);
        c.Write(Answer);
    }};
};

TEST_F(UpdateMenuTest, HelpUpdateTellsHowTheCheckEnded) {
    const std::string served = Server.Url("/update.txt");
    const std::string refused = "http://127.0.0.1:" + std::to_string(RefusingPort()) + "/update.txt";
    const auto failed = [](const std::string& address, const char* why) {
        return QStringLiteral("The check for a new version at %1 failed:\n%2").arg(QString::fromStdString(address),
                                                                                   QString::fromUtf8(why));
    };
    const auto document = [](const QString& version) {
        return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nName=Kavelo Training\r\nVersion=" +
               version.toStdString() + "\r\nHomepage=http://kavelo.invalid/\r\n";
    };
    const struct {
        const char* Name;
        std::string Address;
        std::string Answer;
        QString Message;  // the one message box, empty: none
        const char* Offered;
    } cases[] = {
        {"unreachable", refused, "", failed(refused, "Connection refused (Error #10061)"), nullptr},
        {"404", served, "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot here!",
         failed(served, "Not Found (HTTP status 404)"), nullptr},
        {"500", served, "HTTP/1.0 500 Internal Server Error\r\n\r\noops",
         failed(served, "Internal Server Error (HTTP status 500)"), nullptr},
        {"not an update document", served, "HTTP/1.0 200 OK\r\n\r\n<html><body>Sign in first</body></html>",
         failed(served, "The answer is not an update document: it has no \"Version\" of four numbers (a.b.c.d)."),
         nullptr},
        {"the running version", served, document(GetFileVersion()), QStringLiteral("No update available."), nullptr},
        {"a newer version", served, document(QStringLiteral("99.0.0.0")), {}, "99.0.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        {
            std::lock_guard<std::mutex> lock(Lock);
            Answer = c.Answer;
        }
        OpenWith(QString::fromStdString(c.Address));
        messages.clear();
        TUpdateDialogCloser closer;
        ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuHelp, form->HelpUpdate));
        if (c.Message.isEmpty()) {
            EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
        } else {
            ASSERT_EQ(messages.size(), 1);
            EXPECT_TRUE(messages[0].startsWith(c.Message)) << messages[0].toStdString();
        }
        EXPECT_EQ(closer.Offered, c.Offered ? QStringList{QString::fromLatin1(c.Offered)} : QStringList());
        EXPECT_TRUE(form->HelpUpdate->isEnabled());
    }
}

// Without an address there is nothing to check, and nothing in the menu to choose.
TEST_F(UpdateMenuTest, NoAddressNoMenuItem) {
    OpenWith(QString());
    EXPECT_FALSE(form->HelpUpdate->isVisible());
    EXPECT_FALSE(ChooseFromMenu(form->menuBar(), form->mnuHelp, form->HelpUpdate));
}

}  // namespace
