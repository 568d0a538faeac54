// The check after every test: what a test leaves in the process is named and cleared, so that the
// next test starts as in a process of its own.
#include "support/Leftovers.h"
#include "support/FakePrompt.h"
#include "support/FileHelpers.h"

#include "foundation/core/Types.h"
#include "foundation/files/TrainingFiles.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

TEST(Leftovers, WhatATestLeavesIsNamedAndCleared) {
    QTemporaryDir home;
    ASSERT_TRUE(WriteAllBytes(home.filePath("kept.ini"), "[A]\n"));
    int counter = 1;
    TLeftovers leftovers(home.path());
    leftovers.Keep("counter", counter);
    leftovers.OnTestStart(*::testing::UnitTest::GetInstance()->current_test_info());
    EXPECT_EQ(leftovers.Clear(), QStringList());

    leftovers.OnTestStart(*::testing::UnitTest::GetInstance()->current_test_info());
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    QTimer::singleShot(60000, [&ran] { ran = true; });
    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    QCoreApplication::exit(0);  // no loop runs to take it
    QPointer<QObject> freed = new QObject;
    freed->deleteLater();
    qputenv("KV_LEFT_BEHIND", "1");
    ASSERT_TRUE(WriteAllBytes(home.filePath("new.ini"), "[B]\n"));
    ASSERT_TRUE(WriteAllBytes(home.filePath("kept.ini"), "[B]\n"));
    counter = 2;
    auto prompt = std::make_unique<TFakePrompt>();
    QStringList found = leftovers.Clear();
    found.sort();
    EXPECT_EQ(found,
              QStringList({"a posted quit", "a queued call without a context object", "a quit with no loop to end",
                           "a single-shot timer",
                           "counter changed", "environment variable KV_LEFT_BEHIND added",
                           "file kept.ini changed", "file new.ini added", "the prompt changed"}));
    EXPECT_FALSE(ran);
    EXPECT_FALSE(freed);
    EXPECT_FALSE(qEnvironmentVariableIsSet("KV_LEFT_BEHIND"));
    EXPECT_EQ(ReadAllBytes(home.filePath("kept.ini")), "[A]\n");
    EXPECT_FALSE(QFile::exists(home.filePath("new.ini")));
    EXPECT_EQ(counter, 1);
    EXPECT_EQ(GetPrompt(), nullptr);
    prompt.reset();

    // The quits taken end no later loop.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&loop] { loop.exit(7); });
    EXPECT_EQ(loop.exec(), 7);

    // Each test's trainings start again with the first colour, as at program start.
    NextTrainingColor();
    leftovers.OnTestStart(*::testing::UnitTest::GetInstance()->current_test_info());
    EXPECT_EQ(NextTrainingColor(), ColorValues[0]);
    EXPECT_EQ(leftovers.Clear(), QStringList());
}
