// The program's row window rowed by hand on the built-in demo recording, for window tests of a
// session (window tests only: it needs the window library).
#pragma once

#include "support/FakeClock.h"
#include "support/MainWindowHome.h"
#include "support/TrainingBuilder.h"
#include "support/UiInput.h"

#include "bench/ReplayInterface.h"
#include "foundation/files/TrainingFiles.h"
#include "resources/DemoData.h"
#include "session/RowWindow.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QMdiArea>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

inline QByteArray DemoRecording() {
    InitDemoDataResource();
    QFile f(QString::fromLatin1(kDemoDataResource));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Clicks w where the person sees it: whatever covers it there gets the click, and fails the test.
inline void Click(QWidget* w) {
    QWidget* hit = ClickAt(w);
    ASSERT_EQ(hit, w) << "covered by " << hit->metaObject()->className();
}

// The program's row window rowed by hand: the demo recording is handed to the session's
// interface record by record on a fake clock, and the person clicks in between.
class RowByHand : public TMainWindowHome {
protected:
    void SetUp() override {
        TMainWindowHome::SetUp();
        InstallRowWindow(*form);
        form->RunNewSessionDialog = [](const QString&, TTraining& t) {
            LoadDefaultTraining(t);
            t.Ini.SessionLimit = 2;
            t.Ini.LimitDistance = 0;
            return true;
        };
        ShowStarted();
        row = qobject_cast<TfrmRow*>(form->frmRow.data());
        ASSERT_TRUE(row);
        row->Session->SetClock(&Clock);
        row->Session->CreateInterfaceOfKind = [this](std::uint8_t, QObject* owner) -> TInterface* {
            Replay = CreateInterface<TReplay>(owner);
            return Replay;
        };
        TSessionView& v = row->Session->View;
        v.ConnectDialog = [this](TConnectChoice& c) {
            c = TConnectChoice{QStringLiteral("DEMO"), ConnectType, 1};
            return true;
        };
        v.ShowResults = [this](TTraining&) { ++Results; };
        Demo = DemoRecording();
    }

    // The next demo record to the interface, the clock following it; false at the end.
    bool FeedOne() {
        const qsizetype records = (Demo.size() - kKvRawHeaderSize) / kStgRawDataSize;
        if (Record >= records || !Replay || Replay->State() <= kvsClosed)
            return false;
        const auto* p = reinterpret_cast<const unsigned char*>(Demo.constData()) + kKvRawHeaderSize +
                        kStgRawDataSize * Record++;
        const auto ticks = std::uint16_t(p[0] | (p[1] << 8));
        const std::int64_t before = std::int64_t(Seconds * 1000);
        Seconds += double(ticks) / kKvTicksPerSecond;
        Clock.Advance(std::int64_t(Seconds * 1000) - before);
        Replay->Feed(ticks, p[2]);
        return true;
    }

    // Rows until the session has recorded stroke n (or has ended).
    void RowUntilStroke(int n) {
        while (row->Session->Recorder().StrokeCount() < n && FeedOne()) {
        }
        QCoreApplication::processEvents();
    }

    void Connect() {
        Click(row->ConnectButton);
        ASSERT_TRUE(FeedOne());  // the first data starts the recording
        ASSERT_EQ(row->Session->Phase(), TSessionPhase::Running);
    }

    // Trainings written to files and opened by File > Open; the last one opened is in front.
    void OpenFromMenu(const std::vector<TTraining>& trainings) {
        EnsureParameterTables();
        QStringList files;
        for (const TTraining& t : trainings) {
            files << home.filePath(QStringLiteral("other%1.stg").arg(files.size()));
            ASSERT_TRUE(WriteStgFile(files.back(), t));
        }
        form->AskOpenFileNames = [files] { return files; };
        ASSERT_TRUE(ChooseFromMenu(form->menuBar(), form->mnuFile, form->FileOpen));
    }

    // A click on a control of the training window that resets the session (its Reset, or a
    // setting), then back to the row window.
    void ResetFromTrainingWindow(QWidget* control) {
        form->MdiArea->setActiveSubWindow(row->TrainingWindow()->SubWindow());
        QCoreApplication::processEvents();
        Click(control);
        form->MdiArea->setActiveSubWindow(row->SubWindow());
        QCoreApplication::processEvents();
    }

    TTraining SaveAndRead(const QString& name) {
        const QString file = home.filePath(name);
        TTraining saved;
        EXPECT_TRUE(row->TrainingWindow()->SaveToFile(file));
        EXPECT_TRUE(OpenTrainingFile(file, saved, false, nullptr));
        return saved;
    }

    TFakeClock Clock;
    QPointer<TReplay> Replay;
    TfrmRow* row = nullptr;
    std::uint8_t ConnectType = 0;  // 2: a warm-up first
    QByteArray Demo;
    qsizetype Record = 0;
    double Seconds = 0;
    int Results = 0;
};
