// A main window in a home folder of its own, its message boxes answered and kept, no splash delay
// (window tests only: it needs the window library).
#pragma once

#include "support/MessageBoxes.h"
#include "shell/MainWindow.h"
#include "shell/SplashWindow.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class TMainWindowHome : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        SplashDisplayTimeOverride = 0;
        NewForm();
    }
    void TearDown() override {
        form.reset();
        SplashDisplayTimeOverride = -1;
        qputenv("HOME", oldHome);
    }
    void NewForm() {
        form.reset();
        form = std::make_unique<TfrmMain>();
        form->ConfirmExit = false;
    }

    QTemporaryDir home;
    QByteArray oldHome = qgetenv("HOME");
    TMessageBoxes boxes;
    QStringList& messages = boxes.Texts;
    std::unique_ptr<TfrmMain> form;
};
