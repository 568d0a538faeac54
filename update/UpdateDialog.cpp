#include "update/UpdateDialog.h"

#include "foundation/core/AppUtils.h"
#include "foundation/core/Prompt.h"
#include "net/HttpClient.h"
#include "platform/SystemProbe.h"
#include "widgets/UiUtils.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

constexpr int ClientWidth = 281;
constexpr int ClientHeight = 256;
constexpr int ProgressHeight = 16;
constexpr int DialogFontPixels = 11;
constexpr int ReleaseNotesWidth = 665;
constexpr int ReleaseNotesHeight = 500;
constexpr const char* ProgramFileExt = ".$$$";

QPushButton* MakeButton(QWidget* parent, const QString& caption, const QString& hint, int x, int y) {
    auto* b = new QPushButton(caption, parent);
    b->setToolTip(hint);
    b->setGeometry(x, y, 100, 25);
    return b;
}

// A caption and its value, in one row of a group box; the values start at column x.
void MakePair(QGroupBox* box, int y, int x, const QString& caption, QLabel*& captionLabel, QLabel*& valueLabel) {
    captionLabel = new QLabel(caption, box);
    captionLabel->setGeometry(8, y, x - 10, 16);
    valueLabel = new QLabel(QStringLiteral("-"), box);
    valueLabel->setGeometry(x, y, box->width() - x - 8, 16);
}

// The name with the extension of its file part changed (or added).
QString WithExtension(const QString& name, const QString& ext) {
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? name.left(dot) : name) + ext;
}

QString ErrorText(const std::exception& e) { return QString::fromUtf8(e.what()); }

// "Not Found (HTTP status 404)", or the status alone when the server gave no reason.
QString HttpStatusText(const THttpCli& http) {
    const QString status = QStringLiteral("HTTP status %1").arg(http.StatusCode());
    return http.ReasonPhrase().empty() ? status
                                       : WebTextToQString(http.ReasonPhrase()) + QStringLiteral(" (") + status +
                                             QLatin1Char(')');
}

// The wait cursor for as long as the check runs.
struct TWaitCursor {
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

}  // namespace

TfrmUpdate::TfrmUpdate(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("New version available"));
    setFixedSize(ClientWidth, ClientHeight);
    // The fixed layout is made for a small dialog font (8 points at 96 dpi).
    QFont small = font();
    small.setPixelSize(DialogFontPixels);
    setFont(small);

    btnRelease = MakeButton(this, QStringLiteral("&Release notes"),
                            QStringLiteral("View release notes of the latest version"), 8, 176);
    btnHomepage = MakeButton(this, QStringLiteral("&Homepage"), QStringLiteral("Visit the website"), 8, 208);
    btnInstall = MakeButton(this, QStringLiteral("&Install"), QStringLiteral("Install the latest version"), 171, 176);
    for (QPushButton* b : {btnRelease, btnHomepage, btnInstall}) {
        b->setEnabled(false);
        b->setAutoDefault(false);
    }
    Progress = new QProgressBar(this);
    Progress->setGeometry(0, ClientHeight - ProgressHeight, ClientWidth, ProgressHeight);
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setTextVisible(false);

    // Values start at 104 unless the longest caption needs more room in this font.
    const int x = std::max(104, 8 + fontMetrics().horizontalAdvance(QStringLiteral("Date (yyyy-mm-dd)")) + 6);
    gbxCurrentVersion = new QGroupBox(QStringLiteral("Current version"), this);
    gbxCurrentVersion->setGeometry(8, 8, 265, 57);
    MakePair(gbxCurrentVersion, 16, x, QStringLiteral("Name"), lblCurrentName, lblCurrentName_);
    MakePair(gbxCurrentVersion, 32, x, QStringLiteral("Version"), lblCurrentVersion, lblCurrentVersion_);

    gbxLatestVersion = new QGroupBox(QStringLiteral("Latest version"), this);
    gbxLatestVersion->setGeometry(8, 72, 265, 89);
    MakePair(gbxLatestVersion, 16, x, QStringLiteral("Name"), lblLatestName, lblLatestName_);
    MakePair(gbxLatestVersion, 32, x, QStringLiteral("Description"), lblLatestDescription, lblLatestDescription_);
    MakePair(gbxLatestVersion, 48, x, QStringLiteral("Version"), lblLatestVersion, lblLatestVersion_);
    MakePair(gbxLatestVersion, 64, x, QStringLiteral("Date (yyyy-mm-dd)"), lblLatestDate, lblLatestDate_);

    btnClose = MakeButton(this, QStringLiteral("&Close"), QStringLiteral("Close this window"), 171, 208);
    btnClose->setDefault(true);

    connect(btnRelease, &QPushButton::clicked, this, &TfrmUpdate::btnReleaseClick);
    connect(btnHomepage, &QPushButton::clicked, this, &TfrmUpdate::btnHomepageClick);
    connect(btnInstall, &QPushButton::clicked, this, &TfrmUpdate::btnInstallClick);
    connect(btnClose, &QPushButton::clicked, this, &TfrmUpdate::btnCloseClick);

    ProgramPath = ProgramFilePath();
    ReplacerPath = ProgramPath;
    CurrentVersion = GetFileVersion();
    DownloadFolder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (DownloadFolder.isEmpty())
        DownloadFolder = QDir::homePath();
    ExecWindow = [](QDialog* window) { window->exec(); };
    OpenAddress = [](const QString& address) { ShellExec(address, QStringLiteral("open"), {}, {}, 1); };
    StartInstaller = [](const QString& file) { ShellExec(file, QStringLiteral("open"), {}, {}, 1); };
    OnTerminate = [] { QCoreApplication::quit(); };
}

// A started replacement keeps waiting on its pipe: the caller holds it (HoldUntilExit).
TfrmUpdate::~TfrmUpdate() = default;

bool TfrmUpdate::ExtractUpdateCopier() const {
    if (ProgramPath.isEmpty() || !QFileInfo(ProgramPath).isFile() || !QFileInfo(ReplacerPath).isExecutable())
        return false;
    return ::access(QFile::encodeName(QFileInfo(ProgramPath).absolutePath()).constData(), W_OK) == 0;
}

void TfrmUpdate::Run(THttpCli& http) {
    http.RequestTimeoutMs = RequestTimeoutMs;
    FCancelled = false;
    FRequest = &http;
    const QString closeText = btnClose->text(), closeHint = btnClose->toolTip();
    btnClose->setText(QStringLiteral("&Cancel"));
    btnClose->setToolTip(QStringLiteral("Stop the running request"));
    const auto restore = qScopeGuard([&] {
        FRequest = nullptr;
        btnClose->setText(closeText);
        btnClose->setToolTip(closeHint);
    });
    http.Get();
}

void TfrmUpdate::btnCloseClick() {
    if (FRequest) {
        FCancelled = true;
        FRequest->Abort();
    } else {
        reject();
    }
}

// ---------------------------------------------------------------------------------------------
// The check

bool TfrmUpdate::Check(const QString& address) {
    FNewer = false;
    FCheckCancelled = false;
    LastError.clear();
    FDocument.Load({});
    lblCurrentName_->setText(GetFileDescription());
    lblCurrentVersion_->setText(CurrentVersion);
    FText.Clear();
    if (!ExtractUpdateCopier()) {
        btnInstall->setText(QStringLiteral("&Download"));
        btnInstall->setToolTip(QStringLiteral("Download latest version"));
    }
    TWaitCursor wait;
    // The dialog itself shows only after the check; meanwhile this window offers its Cancel.
    QDialog checking(parentWidget());
    checking.setWindowTitle(QStringLiteral("Update"));
    checking.setWindowModality(Qt::ApplicationModal);
    checking.resize(ClientWidth, 80);
    auto* label = new QLabel(QStringLiteral("Checking for a new version ..."), &checking);
    label->setGeometry(8, 8, ClientWidth - 16, 25);
    label->setAlignment(Qt::AlignCenter);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &checking);
    cancel->setGeometry((ClientWidth - 100) / 2, 44, 100, 25);
    connect(cancel, &QPushButton::clicked, this, &TfrmUpdate::btnCloseClick);
    connect(&checking, &QDialog::rejected, this, [this] {  // Esc or the window's own close
        if (FRequest)
            btnCloseClick();
    });
    FCheckingWindow = &checking;
    const auto hide = qScopeGuard([this] { FCheckingWindow = nullptr; });
    checking.show();
    THttpCli http(this);
    http.URL = address.toStdString();
    http.OnDocData = [this](THttpCli* s, const char* d, int n) { HttpCheckData(s, d, n); };
    try {
        Run(http);
        // The whole answer is in (an empty one too): is it an update document?
        HttpCheckEnd(&http);
    } catch (const std::exception& e) {
        FNewer = false;
        // An error status is named with its number; the client's own failures say theirs.
        const bool status = dynamic_cast<const EHttpException*>(&e) && http.RequestError() == 0 &&
                            http.StatusCode() >= 400;
        LastError = status ? HttpStatusText(http) : ErrorText(e);
    }
    FCheckCancelled = FCancelled;
    checking.hide();
    FCancelled = false;
    EnableButtons();
    return FNewer;
}

void TfrmUpdate::HttpCheckData(THttpCli*, const char* data, int length) { FText.Add(data, length); }

void TfrmUpdate::HttpCheckEnd(THttpCli* sender) {
    // An error page or a cut-off answer is the request's failure, which Get raises.
    if (!sender->DocComplete())
        return;
    if (sender->StatusCode() != 200) {
        LastError = QStringLiteral("The server answered %1 instead of the update document.").arg(HttpStatusText(*sender));
        return;
    }
    if (FText.Overflowed()) {
        LastError = QStringLiteral("The update document is larger than %1 bytes.").arg(UpdateTextBufferSize - 1);
        return;
    }
    FDocument.Load(WebTextToQString(FText.Text()));
    const auto value = [this](const char* key) { return FDocument.Value(QString::fromLatin1(key)); };
    if (!IsVersionText(value(ukVersion))) {
        FDocument.Load({});
        LastError = QStringLiteral("The answer is not an update document: it has no \"Version\" of four numbers (a.b.c.d).");
        return;
    }
    FNewer = IsNewerVersion(value(ukVersion), CurrentVersion);
    lblLatestName_->setText(value(ukName));
    lblLatestDescription_->setText(value(ukDescription));
    lblLatestVersion_->setText(value(ukVersion));
    lblLatestDate_->setText(value(ukDate));
    EnableButtons();
}

void TfrmUpdate::EnableButtons() {
    const auto has = [this](const char* key) { return !FDocument.Value(QString::fromLatin1(key)).isEmpty(); };
    btnRelease->setEnabled(FNewer && has(ukReleasenotes) && has(ukReleaseNotesSize));
    btnHomepage->setEnabled(FNewer && has(ukHomepage));
    btnInstall->setEnabled(FNewer && has(ukInstall) && has(ukInstallSize));
}

void TfrmUpdate::MoveProgress(int length) {
    FCounter = std::int32_t(std::min<std::int64_t>(std::int64_t(FCounter) + length, INT_MAX));
    Progress->setValue(std::min(FCounter, Progress->maximum()));
}

void TfrmUpdate::Fail(const QString& message) {
    if (!FCancelled)
        ShowMessageBox(this, QMessageBox::Warning, message);
    FCancelled = false;
}

// ---------------------------------------------------------------------------------------------
// Release notes

void TfrmUpdate::btnReleaseClick() {
    try {
        bool ok = false;
        const int size = FDocument.Value(QString::fromLatin1(ukReleaseNotesSize)).toInt(&ok);
        if (!ok || size < 0) {
            Fail(QStringLiteral("The size of the release notes is not a number."));
            return;
        }
        btnRelease->setEnabled(false);
        const auto restore = qScopeGuard([this] {
            Progress->setValue(0);
            btnRelease->setEnabled(true);
        });
        FCounter = 0;
        Progress->setMaximum(size);
        FText.Clear();
        bool ended = false;
        {
            THttpCli http(this);
            http.URL = FDocument.Value(QString::fromLatin1(ukReleasenotes)).toStdString();
            http.OnDocData = [this](THttpCli* s, const char* d, int n) { HttpReleaseNotesData(s, d, n); };
            http.OnDocEnd = [&ended](THttpCli* s) { ended = s->DocComplete(); };
            Run(http);
        }
        // The window opens after the request, outside the client's events.
        if (ended)
            HttpReleaseNotesEnd(nullptr);
    } catch (const std::exception& e) {
        Fail(ErrorText(e));
    }
}

void TfrmUpdate::HttpReleaseNotesData(THttpCli*, const char* data, int length) {
    FText.Add(data, length);
    MoveProgress(length);
}

void TfrmUpdate::HttpReleaseNotesEnd(THttpCli*) { ShowReleaseNotes(UnifyLineBreaks(WebTextToQString(FText.Text()))); }

void TfrmUpdate::ShowReleaseNotes(const QString& text) {
    const auto value = [this](const char* key) { return FDocument.Value(QString::fromLatin1(key)); };
    QDialog window(this);
    window.resize(ReleaseNotesWidth, ReleaseNotesHeight);
    window.setWindowTitle(QStringLiteral("Release notes : ") + value(ukName));
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* panel = new QLabel(value(ukDescription) + QStringLiteral("   ") + value(ukVersion) +
                                 QStringLiteral("   ") + value(ukDate), &window);
    panel->setObjectName(QStringLiteral("Panel"));
    panel->setFixedHeight(25);
    panel->setAlignment(Qt::AlignCenter);
    auto* memo = new QPlainTextEdit(&window);
    memo->setObjectName(QStringLiteral("Memo"));
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(13);
    memo->setFont(font);
    memo->setReadOnly(true);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QString plain = text;
    memo->setPlainText(plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    layout->addWidget(panel);
    layout->addWidget(memo);
    ExecWindow(&window);
}

void TfrmUpdate::btnHomepageClick() {
    // The document comes over plain HTTP: it may name a web page, never a local program.
    const QString address = FDocument.Value(QString::fromLatin1(ukHomepage));
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty()) {
        Fail(QStringLiteral("The homepage \"%1\" is not a web address (http or https); it was not opened.")
                 .arg(address));
        return;
    }
    try {
        OpenAddress(address);
    } catch (const std::exception& e) {
        Fail(ErrorText(e));
    }
}

// ---------------------------------------------------------------------------------------------
// Download

bool TfrmUpdate::ChooseTarget(bool selfReplace) {
    const QString name = DownloadFileName(FDocument.Value(QString::fromLatin1(ukInstall)));
    if (!selfReplace) {
        TSaveDialogRequest request;
        request.Title = QStringLiteral("Save the new version as");
        request.Filter = QStringLiteral("All files (*.*)|*");
        request.InitialDir = DownloadFolder;
        request.FileName = name;
        request.OverwritePrompt = true;
        request.PathMustExist = true;
        if (!PromptSaveFileName(request) || request.FileName.isEmpty())
            return false;
        FTarget = QFileInfo(request.FileName).isAbsolute() ? request.FileName
                                                            : QDir(DownloadFolder).filePath(request.FileName);
        return true;
    }
    if (name.isEmpty()) {
        Fail(QStringLiteral("The address of the new version names no file."));
        return false;
    }
    if (name.toUpper() == QFileInfo(ProgramPath).fileName().toUpper()) {
        FTarget = WithExtension(ProgramPath, QString::fromLatin1(ProgramFileExt));
    } else {
        ForceFolder(DownloadFolder);
        FTarget = QDir(DownloadFolder).filePath(name);
    }
    return true;
}

void TfrmUpdate::HttpDownloadData(THttpCli*, const char*, int length) { MoveProgress(length); }

void TfrmUpdate::btnInstallClick() {
    bool terminating = false;
    const auto restore = qScopeGuard([this, &terminating] {
        Progress->setValue(0);
        if (!terminating)
            EnableButtons();
    });
    try {
        bool ok = false;
        const qint64 size = FDocument.Value(QString::fromLatin1(ukInstallSize)).toLongLong(&ok);
        if (!ok || size < 0) {
            Fail(QStringLiteral("The size of the new version is not a number."));
            return;
        }
        for (QPushButton* b : {btnRelease, btnHomepage, btnInstall})
            b->setEnabled(false);
        FCounter = 0;
        const bool selfReplace = ExtractUpdateCopier();
        if (!ChooseTarget(selfReplace))
            return;
        if (QFileInfo::exists(FTarget) && !QFile::remove(FTarget)) {
            Fail(QStringLiteral("Cannot replace \"%1\".").arg(FTarget));
            return;
        }
        Progress->setMaximum(int(std::min<qint64>(size, INT_MAX)));

        TDownloadFacts facts;
        {
            QFile file(FTarget);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                Fail(QStringLiteral("Cannot create \"%1\": %2").arg(FTarget, file.errorString()));
                return;
            }
            // Whatever ends the request, a partial file never stays behind.
            auto partial = qScopeGuard([&file, this] {
                file.close();
                QFile::remove(FTarget);
            });
            THttpCli http(this);
            http.URL = FDocument.Value(QString::fromLatin1(ukInstall)).toStdString();
            http.RcvdStream = &file;
            http.MaxBodySize = size;  // never more than announced on the disk
            http.OnDocData = [this](THttpCli* s, const char* d, int n) { HttpDownloadData(s, d, n); };
            Run(http);
            errno = 0;
            if (!file.flush()) {
                const int error = errno;  // a full disk: the file itself may not know why
                Fail(QStringLiteral("Cannot write \"%1\": %2")
                         .arg(FTarget, error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : file.errorString()));
                return;
            }
            file.close();
            facts = {http.StatusCode(), http.RequestError(), http.DocComplete(), http.ContentLength(),
                     http.RcvdCount()};
            partial.dismiss();
        }
        terminating = FinishDownload(facts, selfReplace, size);
    } catch (const std::exception& e) {
        Fail(ErrorText(e));
    }
}

bool TfrmUpdate::FinishDownload(const TDownloadFacts& facts, bool selfReplace, qint64 size) {
    const bool programFile = selfReplace && FTarget.endsWith(QString::fromLatin1(ProgramFileExt));
    const QString sha = FDocument.Value(QString::fromLatin1(ukInstallSha256));
    const QString why = CheckDownload(facts, size, FTarget, sha, programFile ? ProgramPath : QString());
    if (!why.isEmpty()) {
        QFile::remove(FTarget);
        Fail(QStringLiteral("The new version was not installed: %1.").arg(why));
        return false;
    }
    // A file saved by the user's choice, or an installer nobody can vouch for, is only kept.
    if (!selfReplace || (!programFile && sha.isEmpty())) {
        ShowMessageBox(this, QMessageBox::Information, QStringLiteral("New version saved as \"%1\"").arg(FTarget));
        return false;
    }
    if (programFile) {
        TReplacerProcess process;
        QString error;
        if (!StartReplacer(ReplacerPath, ProgramPath, FTarget, size, sha, process, error)) {
            QFile::remove(FTarget);
            Fail(QStringLiteral("The new version was not installed: %1.").arg(error));
            return false;
        }
        Replacer = process;
        ShowMessageBox(this, QMessageBox::Information,
                       QStringLiteral("%1 will now quit and restart automatically in a moment. Please click [OK] and wait.")
                           .arg(GetProductName()));
    } else {
        ShowMessageBox(this, QMessageBox::Information,
                       QStringLiteral("%1 will now quit and start Setup automatically in a moment. Please click [OK] and wait.")
                           .arg(GetProductName()));
        StartInstaller(FTarget);
    }
    OnTerminate();
    return true;
}

// ---------------------------------------------------------------------------------------------

TUpdateCheck CheckForUpdate(const QString& address, QWidget* parent, QString* error) {
    TfrmUpdate dialog(parent);
    QPointer<QWidget> window = parent ? parent->window() : nullptr;
    dialog.OnTerminate = [&dialog, window] {
        dialog.accept();
        // The main window closes the usual way, asking about unsaved work; the replacement
        // waits for the program's end and gives up after a minute.
        QTimer::singleShot(0, qApp, [window] {
            if (window)
                window->close();
            else
                QCoreApplication::quit();
        });
    };
    const bool newer = dialog.Check(address);
    if (error)
        *error = dialog.LastError;
    if (newer)
        dialog.exec();
    if (dialog.Replacer)
        HoldUntilExit(*dialog.Replacer);
    if (newer)
        return ucOffered;
    if (dialog.CheckCancelled())
        return ucCancelled;
    return dialog.LastError.isEmpty() ? ucNoUpdate : ucFailed;
}
