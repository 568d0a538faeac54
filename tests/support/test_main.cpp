// Test entry point for the libraries below the window library: an application object so that
// timers, queued calls and Delay work in tests.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "support/Leftovers.h"
#include "support/TestHome.h"

int main(int argc, char** argv) {
    QTemporaryDir home;
    UsePrivateHome(home);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TLeftovers(home.path()));
    return RUN_ALL_TESTS();
}
