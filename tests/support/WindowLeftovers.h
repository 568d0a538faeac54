// The window library's part of what a test leaves behind: windows, hooks and the application's
// look (window tests only: it needs the window library).
#pragma once

#include "support/Leftovers.h"

#include "shell/MainWindow.h"
#include "shell/SingleInstance.h"
#include "shell/SplashWindow.h"
#include "shell/UiPrompt.h"
#include "widgets/UiUtils.h"
#include "widgets/ValueArea.h"

#include <QApplication>
#include <QClipboard>
#include <QPointer>

// Windows still there, shown or not, closed for good; a window's children go with it.
inline QStringList CloseWindows() {
    QStringList found;
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        found << QStringLiteral("a window %1 \"%2\"")
                     .arg(QLatin1String(w->metaObject()->className()), w->windowTitle());
        windows << w;
    }
    for (const QPointer<QWidget>& w : windows)
        if (w && !w->parentWidget()) delete w.data();
    for (const QPointer<QWidget>& w : windows)
        delete w.data();
    return found;
}

inline void AddWindowChecks(TLeftovers& leftovers) {
    // What one test copied is not there for the next to paste.
    leftovers.BeforeEach([] { QApplication::clipboard()->clear(); });
    leftovers.AfterEach(CloseWindows);
    leftovers.Keep("frmMain", frmMain);
    leftovers.Keep("MessageBoxHook", MessageBoxHook);
    leftovers.Keep("TUiPrompt::SaveDialogHook", TUiPrompt::SaveDialogHook);
    leftovers.Keep("TValueArea::OptionsDialogHook", TValueArea::OptionsDialogHook);
    leftovers.Keep("SplashDisplayTimeOverride", SplashDisplayTimeOverride);
    leftovers.Keep("RowWindowOpening", RowWindowOpening);
    leftovers.Keep("ShutdownRequested", ShutdownRequested);
    leftovers.Keep("ShutdownCommand", ShutdownCommand);
    leftovers.Keep("MultipleCopies", MultipleCopies);
    leftovers.Keep("OnInstanceMessage", OnInstanceMessage);
    leftovers.Keep<QString>("the instance name", &InstanceName, &SetInstanceName);
    leftovers.Keep<bool>("a listening instance socket", &InstanceListening,
                         [](const bool&) { InstanceDone(); });
    leftovers.Keep<QFont>(
        "the application font", [] { return QApplication::font(); },
        [](const QFont& f) { QApplication::setFont(f); });
    leftovers.Keep<QPalette>(
        "the application palette", [] { return QApplication::palette(); },
        [](const QPalette& p) { QApplication::setPalette(p); });
    leftovers.Keep<bool>(
        "the override cursor", [] { return QApplication::overrideCursor() != nullptr; },
        [](const bool&) {
            while (QApplication::overrideCursor())
                QApplication::restoreOverrideCursor();
        });
}
