#include "support/FileHelpers.h"
#include "support/QtPrinters.h"
#include "foundation/core/AppUtils.h"
#include "widgets/UiUtils.h"
#include "shell/MenuBar.h"
#include "shell/StatusPanels.h"
#include "shell/MainFrame.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

class FormMainTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString ini = dir.filePath(QStringLiteral("kvwt.ini"));

    void ExpectIniLines(const QStringList& lines)
    {
        const QByteArray text = ReadAllBytes(ini);
        for (const QString& line : lines)
            EXPECT_TRUE(text.contains(line.toLatin1())) << line.toStdString() << " in\n" << text.constData();
    }
};

}  // namespace

// The View toggles are kept in the settings file; Ctrl+M works with the menu bar hidden.
TEST_F(FormMainTest, ViewTogglesRoundTripAndCtrlMWithTheMenuBarHidden)
{
    {
        TFormMain form(nullptr, ini);
        for (QAction* a : {form.ViewHints, form.ViewMenu, form.ViewToolbar, form.ViewStatusbar})
            EXPECT_TRUE(a->isChecked()) << a->text().toStdString();
        form.show();
        QApplication::setActiveWindow(&form);
        QTest::keyClick(&form, Qt::Key_M, Qt::ControlModifier);
        EXPECT_FALSE(form.menuBar()->isVisible());
        form.ViewStatusbar->trigger();
        form.ViewHints->trigger();
        EXPECT_FALSE(form.HintsEnabled());
    }
    // Menu=0 comes from the menu bar itself.
    ExpectIniLines({"[View]", "Fullscreen=0", "Hints=0", "Menu=0", "Toolbar=1", "Statusbar=0"});

    TFormMain again(nullptr, ini);
    EXPECT_FALSE(again.StatusBar->isVisibleTo(&again));
    EXPECT_FALSE(again.ViewHints->isChecked());
    EXPECT_TRUE(again.MenuBar->isVisibleTo(&again));
    again.show();
    QApplication::setActiveWindow(&again);
    ASSERT_FALSE(again.menuBar()->isVisible());
    QTest::keyClick(&again, Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(again.ViewMenu->isChecked());
    EXPECT_TRUE(again.menuBar()->isVisible());
}

TEST_F(FormMainTest, HiddenToolbarsLeaveTheTopBevelOrEdge)
{
    TFormMain form(nullptr, ini);
    form.SetToolbarVisible(false);
    EXPECT_FALSE(form.MenuBar->isVisibleTo(&form));
    EXPECT_TRUE(form.TopBevel->isVisibleTo(&form));
    form.SetToolbarVisible(true);
    EXPECT_FALSE(form.TopBevel->isVisibleTo(&form));

    // Every tool bar hidden from the pop-up: only the top edge is left.
    for (QAction* a : form.MenuBar->PopupMenu()->actions())
        a->toggle();
    EXPECT_FALSE(form.MenuBar->AnyToolbarVisible());
    EXPECT_EQ(form.MenuBar->frameShape(), QFrame::HLine);
}

// A tool bar's controls: a button's text, "-" for a spacer.
QString ToolbarControls(const QToolBar* bar)
{
    QString controls;
    for (QAction* a : bar->actions()) {
        const QWidget* w = bar->widgetForAction(a);
        const bool spacer = w && !qobject_cast<const QAbstractButton*>(w);
        EXPECT_TRUE(!spacer || w->width() == 10) << w->width();
        controls += spacer ? QStringLiteral("-") : a->iconText();
    }
    return controls;
}

TEST_F(FormMainTest, OneToolbarPerMenuWithIcons)
{
    TFormMain form(nullptr, ini);
    form.show();
    // The menu's separator becomes a spacer: Cut, Copy, Paste, spacer, Find.
    EXPECT_EQ(ToolbarControls(form.MenuBar->Toolbar(QStringLiteral("Edit"))), "CutCopyPaste-Find");

    // A separator is a spacer when a button follows it right away, wherever it stands; an entry
    // without a button (no icon, hidden) in between leaves none.
    QMenu* rules = form.menuBar()->addMenu(QStringLiteral("&Rules"));
    const QIcon icon = ThemeIcon(QStringLiteral("edit-copy"));
    rules->addSeparator();
    rules->addAction(icon, QStringLiteral("A"));
    rules->addSeparator();
    rules->addSeparator();
    rules->addAction(icon, QStringLiteral("B"));
    rules->addSeparator();
    rules->addAction(QStringLiteral("c"));
    rules->addAction(icon, QStringLiteral("D"));
    rules->addSeparator();
    rules->addAction(icon, QStringLiteral("e"))->setVisible(false);
    rules->addAction(icon, QStringLiteral("F"));
    rules->addSeparator();
    form.MenuBar->CreateToolbars();
    EXPECT_EQ(ToolbarControls(form.MenuBar->Toolbar(QStringLiteral("Rules"))), "-A-BDF");
    rules->menuAction()->setVisible(false);

    // A menu whose entries carry no icons gets no tool bar; hidden entries do not count.
    QMenu* plain = form.menuBar()->addMenu(QStringLiteral("&Extras 2-b!"));
    plain->addAction(QStringLiteral("Nothing"));
    QAction* hidden = plain->addAction(ThemeIcon(QStringLiteral("edit-copy")), QStringLiteral("Hidden"));
    hidden->setVisible(false);
    form.MenuBar->CreateToolbars();
    EXPECT_EQ(form.MenuBar->Toolbar(QStringLiteral("Extras 2-b")), nullptr);
    hidden->setVisible(true);
    form.MenuBar->CreateToolbars();
    EXPECT_NE(form.MenuBar->Toolbar(QStringLiteral("Extras 2-b")), nullptr);

    // A negative tag keeps a menu and its tool bar away.
    SetActionTag(form.Help_Menu, -1);
    form.MenuBar->CreateToolbars();
    EXPECT_EQ(form.MenuBar->Toolbar(QStringLiteral("Help")), nullptr);
    EXPECT_EQ(form.MenuBar->PopupMenu()->actions().size(), form.MenuBar->Toolbars().size());
}

TEST_F(FormMainTest, ToolbarPlacementRoundTripAndMalformedValues)
{
    ASSERT_TRUE(WriteAllBytes(ini, QByteArray("[Toolbars]\r\nFile=12 30 0\r\nEdit=7 x 1\r\nView=5 6\r\nHelp=-4 9 1\r\n")));
    {
        TFormMain form(nullptr, ini);
        QToolBar* file = form.MenuBar->Toolbar(QStringLiteral("File"));
        QToolBar* edit = form.MenuBar->Toolbar(QStringLiteral("Edit"));
        const QPoint editDefault = edit->pos();
        EXPECT_EQ(file->pos(), QPoint(12, 30));
        EXPECT_FALSE(file->isVisibleTo(form.MenuBar));
        EXPECT_TRUE(edit->isVisibleTo(form.MenuBar));  // malformed: defaults kept
        EXPECT_EQ(edit->pos(), editDefault);
        EXPECT_TRUE(form.MenuBar->Toolbar(QStringLiteral("View"))->isVisibleTo(form.MenuBar));
        EXPECT_EQ(form.MenuBar->Toolbar(QStringLiteral("Help"))->pos(), QPoint(0, 9));
        edit->move(40, 2);
        edit->hide();
    }
    ExpectIniLines({"File=12 30 0", "Edit=40 2 0", "Help=0 9 1", "[View]"});  // both owners of the file kept

    TFormMain again(nullptr, ini);
    EXPECT_EQ(again.MenuBar->Toolbar(QStringLiteral("Edit"))->pos(), QPoint(40, 2));
    EXPECT_FALSE(again.MenuBar->Toolbar(QStringLiteral("Edit"))->isVisibleTo(again.MenuBar));
}

TEST(MenuBarText, NamesAndPlacements)
{
    EXPECT_EQ(TMenuBar::ToolbarName(QStringLiteral("&File")), "File");
    EXPECT_EQ(TMenuBar::ToolbarName(QStringLiteral("Tile M&osaic 2-x.")), "Tile Mosaic 2-x");
    int l = -1, t = -1;
    bool v = true;
    EXPECT_TRUE(TMenuBar::ParsePlacement(QStringLiteral("12 30 0"), l, t, v));
    EXPECT_EQ((std::vector<int>{l, t, v}), (std::vector<int>{12, 30, 0}));
    EXPECT_TRUE(TMenuBar::ParsePlacement(QStringLiteral("1 2 7"), l, t, v));
    EXPECT_FALSE(v);  // only 1 shows a tool bar
    for (const char* bad : {"", "1 2", "1 2 3 4", "a 2 1", "1  2 1", "1 2 1 "})
        EXPECT_FALSE(TMenuBar::ParsePlacement(QString::fromLatin1(bad), l, t, v)) << bad;
}

TEST_F(FormMainTest, ProgressInPanelZeroAndVersionHint)
{
    TFormMain form(nullptr, ini);
    EXPECT_EQ(form.ProgressBar, nullptr);
    form.SetProgress(150);
    ASSERT_NE(form.ProgressBar, nullptr);
    EXPECT_EQ(form.ProgressPosition, 100);
    EXPECT_TRUE(form.ProgressBar->isVisibleTo(&form));
    EXPECT_TRUE(form.StatusBar->Panel(0).OwnerDraw);
    form.SetProgressFraction(0.42);
    EXPECT_EQ(form.ProgressBar->value(), 42);
    form.SetProgress(-5);
    EXPECT_EQ(form.ProgressPosition, -1);
    EXPECT_FALSE(form.ProgressBar->isVisibleTo(&form));
    EXPECT_FALSE(form.StatusBar->Panel(0).OwnerDraw);
    form.SetProgressFraction(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(form.ProgressPosition, -1);
    form.SetProgressFraction(1e300);
    EXPECT_EQ(form.ProgressPosition, 100);

    form.StatusBarMouseMove(10, 5);
    EXPECT_EQ(form.StatusBar->toolTip(), "Shows version information");
    form.StatusBarMouseMove(0, 5);  // the edge itself is outside
    EXPECT_FALSE(form.OverVersionPanel);
    EXPECT_EQ(form.StatusBar->toolTip(), "");
}

TEST(PanelText, ShorteningModes)
{
    auto width = [](const QString& s) { return int(s.size()) * 5; };  // 5 pixels a character
    const std::tuple<const char*, int, int, const char*> cases[] = {
        {"Row", 15, 0, "Row"},
        {"Training 12", 40, 0, "Train..."},
        {"Training 12", 40, 1, "...ng 12"},
        {"Training 12", 45, 2, "...nin..."},
        {"Training 12", 0, 0, "T..."},  // never below one character and the dots
        {"Training 12", 0, 1, "...2"},
        {"Training 12", 0, 2, "...i..."},
    };
    for (auto [text, pixels, mode, shown] : cases)
        EXPECT_EQ(ShortenPanelText(QString::fromLatin1(text), pixels, mode, width), shown) << pixels << " " << mode;
}

TEST_F(FormMainTest, FindSearchesFromTheEndOfTheSelection)
{
    TFormMain form(nullptr, ini);
    auto* client = new QWidget;
    auto* edit = new QLineEdit(QStringLiteral("abc ABC abc"), client);
    auto* other = new QLineEdit(client);
    auto* button = new QPushButton(QStringLiteral("Go"), client);
    form.setCentralWidget(client);
    form.show();
    QApplication::setActiveWindow(&form);
    edit->setFocus();
    EXPECT_EQ(form.FindEdit, edit);
    form.UpdateActions();
    EXPECT_TRUE(form.EditFind->isEnabled());

    edit->setCursorPosition(0);
    // A match at the cursor is found, then not the same one again; backwards from the end.
    for (auto [backwards, start] : {std::pair{false, 0}, {false, 4}, {true, 8}}) {
        ASSERT_TRUE(form.FindText(QStringLiteral("abc"), backwards));
        EXPECT_EQ(edit->selectionStart(), start);
    }
    EXPECT_EQ(edit->selectedText(), "abc");
    EXPECT_FALSE(form.FindText(QStringLiteral("abc"), false));
    EXPECT_EQ(edit->selectionStart(), 8);

    other->setFocus();
    EXPECT_EQ(form.FindEdit, other);
    button->setFocus();  // no edit, nothing to find in
    EXPECT_EQ(form.FindEdit, nullptr);
    form.UpdateActions();
    EXPECT_FALSE(form.EditFind->isEnabled());
}
