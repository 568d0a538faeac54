// A main window in a home folder of its own, its message boxes answered and kept, no splash delay
// (window tests only: it needs the window library).
#pragma once

#include "support/EnvOverride.h"
#include "support/MessageBoxes.h"
#include "shell/MainWindow.h"
#include "shell/SplashWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// Runs the event loop until the main window's start-up sequence is over.
inline void FinishStartup(TfrmMain& form) {
    for (int i = 0; i < 200 && !form.StartupDone; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class TMainWindowHome : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        SplashDisplayTimeOverride = 0;
        NewForm();
    }
    void TearDown() override {
        form.reset();
        SplashDisplayTimeOverride = -1;
    }
    // Shows the main window and lets its start-up run to the end.
    void ShowStarted() {
        form->show();
        FinishStartup(*form);
    }
    void NewForm() {
        form.reset();
        form = std::make_unique<TfrmMain>();
        form->ConfirmExit = false;
    }

    QTemporaryDir home;
    TEnvOverride homeVar{"HOME", QFile::encodeName(home.path())};
    TMessageBoxes boxes;
    QStringList& messages = boxes.Texts;
    std::unique_ptr<TfrmMain> form;
};
