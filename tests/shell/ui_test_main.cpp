// Test entry point of the window library: widgets need a QApplication. Defining main here keeps
// the QCoreApplication main of the support library out of this program.
#include <QApplication>
#include <gtest/gtest.h>

#include "support/TestHome.h"
#include "support/WindowLeftovers.h"

int main(int argc, char** argv)
{
    QTemporaryDir home;
    UsePrivateHome(home);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    auto* leftovers = new TLeftovers(home.path());
    AddWindowChecks(*leftovers);
    ::testing::UnitTest::GetInstance()->listeners().Append(leftovers);
    return RUN_ALL_TESTS();
}
