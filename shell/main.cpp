// The program: every unit's start-up, the single-instance guard, the main window, the event
// loop, and the units' shut-down in reverse order.
#include "foundation/core/AppUtils.h"
#include "foundation/core/Prompt.h"
#include "platform/IniFiles.h"
#include "platform/ProgramReplace.h"
#include "widgets/UiUtils.h"
#include "shell/ScreenSaver.h"
#include "shell/UiPrompt.h"
#include "shell/SingleInstance.h"
#include "shell/MainWindow.h"
#include "shell/SplashWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <cstdio>

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
}

// File parameters of the program's own command line, as full names.
QStringList FileParameters(const QStringList& params)
{
    QStringList files;
    for (const QString& p : params)
        if (!p.isEmpty() && !p.startsWith(QLatin1Char('-')))
            files << QFileInfo(p).absoluteFilePath();
    return files;
}

int Run(QApplication& app)
{
    InitAppUtils();
    EnsureUiResources();
    ReadTestSettings();
    const QStringList params = app.arguments().mid(1);

    // The switches only write files and end: no window, no hand-over.
    const std::array<bool, 8> flags{false, false, false, true, true, true, true, true};
    if (const int code = HandleStartSwitches(params, flags); code >= 0)
        return code;

    if (InstanceInit(params) == TInstanceStart::End)
        return 0;

    TUiPrompt prompt;
    SetPrompt(&prompt);
    TScreenSaverBlock screenSaver;
    int result = 0;
    {
        TfrmMain main;
        main.StartFiles = FileParameters(params);
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

}  // namespace

int main(int argc, char** argv)
{
    // The replacement by a downloaded new version: no window, no single-instance guard.
    if (IsReplaceMode(argc, argv))
        return RunReplaceMode(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kvwt"));
    try {
        return Run(app);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvwt: %s\n", e.what());
        return 1;
    }
}
