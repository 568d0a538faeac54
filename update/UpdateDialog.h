// The update dialog: checks the update address for a newer version, shows its release notes,
// opens its homepage and downloads it. A new program file replaces the running one through the
// program's replacement mode (platform/ProgramReplace.h), and only after the download has been
// checked (status, size, machine, SHA-256); an installer goes to the Downloads folder.
#pragma once

#include "platform/ProgramReplace.h"
#include "update/UpdateDocument.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class THttpCli;

class TfrmUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmUpdate(QWidget* parent = nullptr);
    ~TfrmUpdate() override;

    // Requests the update document and fills the window; true when it offers a newer version.
    // A check that fails (the request, the server's answer, or an answer that is no update
    // document) leaves it false and its reason in LastError; so does a cancelled one, which
    // CheckCancelled tells apart.
    bool Check(const QString& address);
    bool Newer() const { return FNewer; }
    bool CheckCancelled() const { return FCheckCancelled; }
    QString LastError;

    // Whether the running program can replace itself: its file is known, the replacement program
    // is there and the program's folder is writable. Otherwise the dialog only downloads.
    bool ExtractUpdateCopier() const;

    QPushButton* btnRelease;
    QPushButton* btnHomepage;
    QPushButton* btnInstall;
    QPushButton* btnClose;
    QProgressBar* Progress;
    QGroupBox* gbxCurrentVersion;
    QLabel* lblCurrentName;
    QLabel* lblCurrentName_;
    QLabel* lblCurrentVersion;
    QLabel* lblCurrentVersion_;
    QGroupBox* gbxLatestVersion;
    QLabel* lblLatestName;
    QLabel* lblLatestName_;
    QLabel* lblLatestDescription;
    QLabel* lblLatestDescription_;
    QLabel* lblLatestVersion;
    QLabel* lblLatestVersion_;
    QLabel* lblLatestDate;
    QLabel* lblLatestDate_;

    void btnReleaseClick();
    void btnHomepageClick();
    void btnInstallClick();

    // The running program, its version and where things go; tests point them elsewhere.
    QString ProgramPath;     // the file that a new program file replaces
    QString ReplacerPath;    // started with --replace; the program's own file
    QString CurrentVersion;  // "a.b.c.d"
    QString DownloadFolder;  // installers go here
    // Shows a window modally (the release notes); tests look at it instead.
    std::function<void(QDialog* window)> ExecWindow;
    // Opens an address in the browser.
    std::function<void(const QString& address)> OpenAddress;
    // Starts a downloaded installer.
    std::function<void(const QString& file)> StartInstaller;
    // Asks the program to end once the replacement or the installer has been started.
    std::function<void()> OnTerminate;

    // Every request of the dialog ends after this long in all; a program file comes in minutes.
    static constexpr int DefaultRequestTimeoutMs = 5 * 60 * 1000;
    int RequestTimeoutMs = DefaultRequestTimeoutMs;
    // The small window with its Cancel that is shown while the check runs.
    QDialog* CheckingWindow() const { return FCheckingWindow; }

    // The replacement started by the last download; it goes on when WaitFd is closed.
    std::optional<TReplacerProcess> Replacer;
    // The file the last download went to.
    QString Target() const { return FTarget; }
    const TUpdateDocument& Document() const { return FDocument; }

private:
    void HttpCheckData(THttpCli* sender, const char* data, int length);
    void HttpCheckEnd(THttpCli* sender);
    void HttpReleaseNotesData(THttpCli* sender, const char* data, int length);
    void HttpReleaseNotesEnd(THttpCli* sender);  // after the request, with the whole text
    void HttpDownloadData(THttpCli* sender, const char* data, int length);
    void EnableButtons();  // by the document's keys
    void MoveProgress(int length);
    // The target of a download; false when the user cancelled or no name is usable.
    bool ChooseTarget(bool selfReplace);
    // Checks the downloaded file and starts what installs it; true when the program is to end.
    bool FinishDownload(const TDownloadFacts& facts, bool selfReplace, qint64 size);
    void ShowReleaseNotes(const QString& text);
    void Fail(const QString& message);
    // Runs the request with the dialog's limits; btnClose (or the check's Cancel) aborts it.
    void Run(THttpCli& http);
    void btnCloseClick();

    TUpdateTextBuffer FText;
    TUpdateDocument FDocument;
    QString FTarget;
    std::int32_t FCounter = 0;
    bool FNewer = false;
    bool FCheckCancelled = false;
    THttpCli* FRequest = nullptr;  // the request running now
    bool FCancelled = false;       // by the user: no message about it
    QDialog* FCheckingWindow = nullptr;
};

// How a check for a new version ended.
enum TUpdateCheck { ucNoUpdate, ucOffered, ucFailed, ucCancelled };

// Shows the dialog when the address offers a newer version (ucOffered). ucNoUpdate only after a
// check that got an update document; ucFailed with its reason in error; ucCancelled when the
// user stopped it. parent's window is asked to close once an update has been started.
TUpdateCheck CheckForUpdate(const QString& address, QWidget* parent = nullptr, QString* error = nullptr);
