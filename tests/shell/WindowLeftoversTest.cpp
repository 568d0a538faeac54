// The window part of the check after every test: windows left are named and closed, hooks and the
// application's look put back.
#include "support/WindowLeftovers.h"

#include <QDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(WindowLeftovers, WindowsAndHooksLeftAreNamedAndCleared) {
    QTemporaryDir home;
    TLeftovers leftovers(home.path());
    AddWindowChecks(leftovers);
    leftovers.OnTestStart(*::testing::UnitTest::GetInstance()->current_test_info());
    QPointer<QWidget> owner = new QWidget;
    owner->setWindowTitle(QStringLiteral("Owner"));
    owner->show();
    QPointer<QDialog> dialog = new QDialog(owner);
    dialog->setWindowTitle(QStringLiteral("Asked"));
    MessageBoxHook = [](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::Ok;
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    QStringList found = leftovers.Clear();
    found.sort();
    EXPECT_EQ(found, QStringList({"MessageBoxHook changed", "a window QDialog \"Asked\"",
                                  "a window QWidget \"Owner\"", "the override cursor changed"}));
    EXPECT_FALSE(owner);
    EXPECT_FALSE(dialog);
    EXPECT_FALSE(MessageBoxHook);
    EXPECT_FALSE(QApplication::overrideCursor());
}
