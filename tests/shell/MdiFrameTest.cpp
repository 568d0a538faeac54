#include "support/MessageBoxes.h"
#include "support/QtPrinters.h"
#include "support/UiInput.h"
#include "widgets/UiUtils.h"
#include "shell/StatusPanels.h"
#include "shell/FormDialog.h"
#include "shell/MdiChild.h"
#include "shell/MdiFrame.h"
#include "shell/Wallpaper.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MDIMainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame = std::make_unique<TMDIMain>(nullptr, dir.filePath(QStringLiteral("kvwt.ini")));
        frame->resize(800, 600);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        QApplication::setActiveWindow(frame.get());
    }
    TMDIChild* NewChild(const QString& caption)
    {
        auto* child = new TMDIChild(frame.get());
        child->setWindowTitle(caption);
        child->parentWidget()->show();
        frame->MdiArea->setActiveSubWindow(child->SubWindow());
        return child;
    }
    // Moves the pointer onto a status panel and clicks it.
    void ClickPanel(int panel)
    {
        TStatusPanels* bar = frame->StatusBar;
        const QPoint at(bar->PanelLeft(panel) + 3, bar->height() / 2);
        QTest::mouseMove(bar, at);
        ClickAt(bar, at);
    }
    QStringList PanelTexts() const
    {
        QStringList texts;
        for (int i = 3; i < frame->StatusBar->Count(); ++i)
            texts << frame->StatusBar->Panel(i).Text;
        return texts;
    }
    QTemporaryDir dir;
    std::unique_ptr<TMDIMain> frame;
};

QRect FrameRect(TMDIChild* child)
{
    return child->SubWindow()->geometry();
}

}  // namespace

TEST_F(MDIMainTest, MosaicOneAndFiveChildren)
{
    const int w = frame->ChildAreaWidth(), h = frame->ChildAreaHeight();
    EXPECT_FALSE(frame->WindowTileMosaic->isEnabled());
    TMDIChild* first = NewChild(QStringLiteral("one"));
    frame->UpdateActions();
    frame->WindowTileMosaic->trigger();
    EXPECT_EQ(FrameRect(first), QRect(0, 0, w, h));

    std::vector<TMDIChild*> c{first};
    for (int i = 2; i <= 5; ++i)
        c.push_back(NewChild(QString::number(i)));
    frame->TileMosaic();
    // 3 columns, 2 rows, walked from the back: the first-opened window takes the top-left tile.
    const int tw = w / 3, th = h / 2;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(FrameRect(c[std::size_t(i)]), QRect(i % 3 * tw, i / 3 * th, tw, th)) << i;

    // Minimised windows are skipped and stay minimised: four left give 2 x 2.
    c[2]->SubWindow()->showMinimized();
    frame->TileMosaic();
    EXPECT_EQ(FrameRect(c[4]), QRect(w / 2, h / 2, w / 2, h / 2));
    EXPECT_TRUE(c[2]->SubWindow()->isMinimized());
}

TEST_F(MDIMainTest, PlaceChildAndReservedSpace)
{
    TMDIChild* child = NewChild(QStringLiteral("row"));
    frame->ReservedHeight = 50;
    frame->ReservedWidth = 20;
    child->SubWindow()->showMaximized();
    frame->PlaceChild(child);
    EXPECT_FALSE(child->SubWindow()->isMaximized());
    EXPECT_EQ(FrameRect(child), QRect(0, 0, frame->MdiArea->viewport()->width() - 20,
                                      frame->MdiArea->viewport()->height() - 50));
}

// One panel a window, sorted without regard to case, the active one lowered; together they fill
// the bar, also a narrow one; a click on a panel brings its window forward.
TEST_F(MDIMainTest, WindowPanelsFillTheBarAndAClickSwitchesWindows)
{
    TMDIChild* a = NewChild(QStringLiteral("Same"));
    TMDIChild* b = NewChild(QStringLiteral("Same"));
    TMDIChild* other = NewChild(QStringLiteral("other"));
    TStatusPanels* bar = frame->StatusBar;
    EXPECT_EQ(bar->Count(), 3);  // off until switched on
    frame->SetShowWindowPanels(true);
    EXPECT_EQ(PanelTexts(), QStringList({"other", "Same", "Same"}));
    EXPECT_EQ(bar->Panel(3).Bevel, TPanelBevel::Lowered);
    EXPECT_EQ(bar->Panel(4).Bevel, TPanelBevel::Raised);
    // Together they fill the bar; a narrow one gets no negative widths.
    const int full = bar->width();
    for (int width : {full, 60}) {
        bar->resize(width, bar->height());
        frame->UpdateWindowPanels();
        int sum = 0, least = 0;
        for (int i = 0; i < bar->Count(); ++i) {
            sum += bar->Panel(i).Width;
            least = std::min(least, bar->Panel(i).Width);
        }
        EXPECT_EQ(least, 0) << width;
        EXPECT_TRUE(width == 60 || sum == bar->contentsRect().width()) << sum;
    }
    bar->resize(full, bar->height());
    frame->UpdateWindowPanels();

    // A click on a "Same" panel leaves the active "Same" window; a fixed panel does nothing.
    frame->MdiArea->setActiveSubWindow(b->SubWindow());
    ClickPanel(4);
    EXPECT_EQ(frame->ActiveMDIChild(), a);
    EXPECT_EQ(bar->toolTip(), "Click to switch to window [Same]");
    ClickPanel(3);
    EXPECT_EQ(frame->ActiveMDIChild(), other);
    ClickPanel(2);
    EXPECT_EQ(frame->ActiveMDIChild(), other);
    for (int panel : {40, -1})
        frame->SwitchToPanel(panel);
    EXPECT_EQ(frame->ActiveMDIChild(), other);

    frame->SetShowWindowPanels(false);
    EXPECT_EQ(bar->Count(), 3);
}

TEST_F(MDIMainTest, ClosingChildLeavesThePanelsAndCanBeRefused)
{
    struct TStubborn : TMDIChild {
        using TMDIChild::TMDIChild;
        bool allow = false;
        bool CloseQuery() override { return allow; }
    };
    auto* stubborn = new TStubborn(frame.get());
    stubborn->setWindowTitle(QStringLiteral("Keep"));
    stubborn->SubWindow()->show();
    TMDIChild* gone = NewChild(QStringLiteral("Gone"));
    frame->SetShowWindowPanels(true);
    ASSERT_EQ(frame->StatusBar->Count(), 5);

    stubborn->Close();
    EXPECT_FALSE(stubborn->Closing);
    EXPECT_EQ(frame->MDIChildCount(), 2);

    gone->Close();  // deleted later; until then it is skipped
    frame->UpdateWindowPanels();
    EXPECT_EQ(PanelTexts(), QStringList({"Keep"}));
    EXPECT_TRUE(frame->PanelTimer->isActive());
    stubborn->allow = true;
}

// Full screen and Help > Update are refused while a window is open; with none, Update asks
// for a newer version at the update address and says when there is none.
TEST_F(MDIMainTest, FullscreenAndUpdateNeedNoChildren)
{
    QStringList asked;
    frame->UpdateAddress = QStringLiteral("http://kavelo.invalid/update.txt");
    frame->CheckForUpdate = [&](const QString& address) {
        asked << address;
        EXPECT_FALSE(frame->HelpUpdate->isEnabled());  // no second check meanwhile
        return false;
    };
    frame->UpdateActions();
    TMessageBoxes boxes;
    TMDIChild* child = NewChild(QStringLiteral("x"));
    ASSERT_TRUE(ChooseFromMenu(frame->menuBar(), frame->mnuHelp, frame->HelpUpdate));
    ASSERT_TRUE(ChooseFromMenu(frame->menuBar(), frame->mnuView, frame->ViewFullscreen));
    EXPECT_FALSE(frame->ViewFullscreen->isChecked());
    EXPECT_FALSE(frame->windowState() & Qt::WindowFullScreen);
    EXPECT_EQ(boxes.Texts, QStringList({"Please close all windows before updating",
                                        "Please close all windows before switching from/to full screen"}));
    EXPECT_TRUE(asked.isEmpty());

    delete child->SubWindow();
    boxes.Texts.clear();
    ASSERT_TRUE(ChooseFromMenu(frame->menuBar(), frame->mnuHelp, frame->HelpUpdate));
    EXPECT_EQ(asked, QStringList({frame->UpdateAddress}));
    ASSERT_EQ(boxes.Texts.size(), 1);
    EXPECT_TRUE(boxes.Texts[0].startsWith("No update available.")) << boxes.Texts[0].toStdString();
    EXPECT_TRUE(frame->HelpUpdate->isEnabled());

    // Found: nothing more is said. No address: nothing to choose.
    frame->CheckForUpdate = [&](const QString&) { return true; };
    ASSERT_TRUE(ChooseFromMenu(frame->menuBar(), frame->mnuHelp, frame->HelpUpdate));
    EXPECT_EQ(boxes.Texts.size(), 1);
    frame->UpdateAddress.clear();
    frame->UpdateActions();
    EXPECT_FALSE(frame->HelpUpdate->isEnabled());
}

TEST(WallPaper, PaintsTiledOrCentredOnWhiteOrBlack)
{
    TWallPaper paper;
    QPixmap red(10, 10);
    red.fill(Qt::red);
    paper.Picture = red;
    QImage image(25, 15, QImage::Format_RGB32);
    const auto paint = [&] {
        image.fill(Qt::green);
        QPainter p(&image);
        paper.Paint(p, image.size());
    };
    // Tiled up to and including the last, partly shown, column and row.
    paper.Tiled = true;
    paint();
    for (auto [x, y] : {std::pair{0, 0}, {24, 14}, {9, 14}})
        EXPECT_EQ(image.pixelColor(x, y), QColor(Qt::red)) << x << " " << y;
    // Centred in 30 x 20: pixels 10..19 and 5..14.
    image = QImage(30, 20, QImage::Format_RGB32);
    paper.Tiled = false;
    paint();
    for (auto [x, y, colour] : {std::tuple{0, 0, Qt::white}, {10, 5, Qt::red}, {19, 14, Qt::red}, {20, 15, Qt::white}})
        EXPECT_EQ(image.pixelColor(x, y), QColor(colour)) << x << " " << y;
    paper.BackGround = false;
    paint();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_TRUE(TWallPaper::TilePositions(QSize(100, 100), QSize(0, 0), true).isEmpty());
    EXPECT_FALSE(TWallPaper::DefaultPicture().isNull());
}

// Without Cancel, OK takes its place: a click where Cancel was accepts the dialog.
TEST(FormDialog, OkTakesCancelsPlace)
{
    TFormDialog dialog;
    const QPoint cancel = dialog.btbCancel->geometry().center();
    dialog.btbCancel->hide();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ClickAt(dialog.btbOk->parentWidget(), cancel);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}
