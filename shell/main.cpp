// The program: every unit's start-up, the single-instance guard, the main window, the event
// loop, and the units' shut-down in reverse order.
#include "foundation/core/AppUtils.h"
#include "foundation/core/Prompt.h"
#include "platform/AtomicFile.h"
#include "platform/FileNames.h"
#include "platform/IniFiles.h"
#include "platform/ProgramReplace.h"
#include "widgets/UiUtils.h"
#include "shell/ScreenSaver.h"
#include "shell/UiPrompt.h"
#include "shell/SingleInstance.h"
#include "shell/MainWindow.h"
#include "shell/OrderlyEnd.h"
#include "shell/SplashWindow.h"
#include "session/RowWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QSessionManager>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// Tests start the program with their own instance name and a short splash.
void ReadTestSettings()
{
    const QByteArray name = qgetenv("KVWT_INSTANCE_NAME");
    if (!name.isEmpty())
        SetInstanceName(QString::fromLocal8Bit(name));
    bool ok = false;
    const int splash = qEnvironmentVariableIntValue("KVWT_SPLASH_MS", &ok);
    if (ok && splash >= 0)
        SplashDisplayTimeOverride = splash;
    const int wait = qEnvironmentVariableIntValue("KVWT_INSTANCE_WAIT_MS", &ok);
    if (ok && wait > 0)
        SetInstanceWaitMs(wait);
}

// File parameters of the program's own command line, as full names.
QStringList FileParameters(const QStringList& params)
{
    QStringList files;
    for (const QString& p : params)
        if (!p.isEmpty() && !p.startsWith(QLatin1Char('-')))
            files << AbsoluteFileName(p);
    return files;
}

// The parameters left after the application object took its own, with names that are not
// UTF-8 kept as they are.
QStringList Parameters(int argc, char** argv)
{
    QStringList params;
    for (int i = 1; i < argc; ++i)
        params << DecodeFileName(QByteArray(argv[i]));
    return params;
}

const char kUsage[] =
    "usage: kvwt [FILE...]\n"
    "       kvwt -X | -X+ | -X- | -XD\n"
    "       kvwt --help | --version\n"
    "\n"
    "  FILE       training files to open (.stg, .str, .ini, .zti, .ztr, .zts); a copy that is\n"
    "             already running opens them\n"
    "  -X         register the file types chosen in the program, write readme.txt and end\n"
    "  -X+        register all file types, write readme.txt and end\n"
    "  -X-        remove all file types, write readme.txt and end\n"
    "  -XD        write readme.txt (or give it today's date) and end\n"
    "  --help     show this text\n"
    "  --version  show the program's name and version\n"
    "\n"
    "The switches X, X+, X- and XD may also start with '/' and act only as the one parameter.\n";

// --help and --version are answered before any window (or display) is needed: -1 when
// neither is given.
int AnswerInformationSwitch(int argc, char** argv)
{
    bool help = false, version = false;
    for (int i = 1; i < argc; ++i) {
        help = help || std::strcmp(argv[i], "--help") == 0;
        version = version || std::strcmp(argv[i], "--version") == 0;
    }
    if (!help && !version)
        return -1;
    if (help) {
        std::fputs(kUsage, stdout);
    } else {
        QCoreApplication app(argc, argv);  // the version block is read from the program file
        const QString title = GetProductTitle();
        std::printf("%s\n", qPrintable(title.isEmpty() ? QStringLiteral("kvwt") : title));
    }
    // An answer that could not be written (a full disk, a closed pipe) is a failure.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "kvwt: cannot write to standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

// Options of the form --name are never file names; those not known are said once.
void WarnUnknownOptions(const QStringList& params)
{
    for (const QString& p : params)
        if (p.startsWith(QStringLiteral("--")))
            std::fprintf(stderr, "kvwt: unknown option %s ignored (kvwt --help shows the usage)\n", qPrintable(p));
}

int Run(QApplication& app, int argc, char** argv)
{
    InitAppUtils();
    EnsureUiResources();
    ReadTestSettings();
    const QStringList params = Parameters(argc, argv);

    // The switches only write files and end: no window, no hand-over.
    const std::array<bool, 8> flags{false, false, false, true, true, true, true, true};
    if (const int code = HandleStartSwitches(params, flags); code >= 0)
        return code;

    WarnUnknownOptions(params);
    if (InstanceInit(params) == TInstanceStart::End)
        return 0;
    // The first copy (the one that listens) starts before any other saves: what a copy killed
    // in the middle of a save left of the settings file goes.
    if (InstanceListening())
        for (const bool writeMode : {false, true})
            if (const QString settings = GetUserIniFileName(writeMode); !settings.isEmpty())
                RemoveStaleTemporaryFiles(settings);

    TUiPrompt prompt;
    SetPrompt(&prompt);
    TScreenSaverBlock screenSaver;
    int result = 0;
    {
        TfrmMain main;
        CreateCommonDialogs();
        main.StartFiles = FileParameters(params);
        InstallRowWindow(main, qEnvironmentVariableIntValue("KVWT_START_DEMO") == 1,
                         qEnvironmentVariableIntValue("KVWT_DEMO_DISCONNECT_AT"));
        // Ended from outside, the program closes as by its menu, without the exit question.
        TOrderlyEnd orderlyEnd([&main](const QString&) { main.CloseUnattended(); });
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &orderlyEnd,
                         [&orderlyEnd](QSessionManager&) { orderlyEnd.SessionEnding(); });
        screenSaver.Inhibit(GetProductName(), QStringLiteral("Rowing session"));
        main.show();
        result = app.exec();
    }
    screenSaver.Release();
    SetPrompt(nullptr);
    InstanceDone();
    TIniFile::UpdateAllFiles();
    RunShutdownRequest();
    return result;
}


// Under a file size limit a write past it must fail (EFBIG) for the atomic writes to cancel,
// not end the program: SIGXFSZ gets a handler that does nothing. A handler, not SIG_IGN, so that
// the programs this one starts get the default again.
void IgnoreFileSizeSignal()
{
    struct sigaction sa{};
    sa.sa_handler = [](int) {};
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGXFSZ, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    IgnoreFileSizeSignal();
    // The replacement by a downloaded new version: no window, no single-instance guard.
    if (IsReplaceMode(argc, argv))
        return RunReplaceMode(argc, argv);
    if (const int code = AnswerInformationSwitch(argc, argv); code >= 0)
        return code;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kvwt"));
    ReportProgramStarted();  // to the replacement that installed this program, if one did
    try {
        return Run(app, argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvwt: %s\n", e.what());
        return 1;
    }
}
