#include "support/MessageBoxes.h"
#include "support/QtPrinters.h"
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
    ASSERT_EQ(frame->MDIChildren().front(), c[4]);  // the active one leads
    frame->TileMosaic();
    // 3 columns, 2 rows, walked from the back: the first-opened window takes the top-left tile.
    const int tw = w / 3, th = h / 2;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(FrameRect(c[static_cast<std::size_t>(i)]), QRect(i % 3 * tw, i / 3 * th, tw, th)) << i;

    // Minimised windows are skipped: four left give 2 x 2.
    c[2]->SubWindow()->showMinimized();
    frame->TileMosaic();
    EXPECT_EQ(FrameRect(c[4]), QRect(w / 2, h / 2, w / 2, h / 2));
    EXPECT_TRUE(c[2]->SubWindow()->isMinimized());

    for (TMDIChild* child : c)
        child->SubWindow()->showMinimized();
    const QRect before = FrameRect(c[0]);
    frame->TileMosaic();
    EXPECT_EQ(FrameRect(c[0]), before);
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

TEST_F(MDIMainTest, WindowPanelsWidthsAndSlack)
{
    NewChild(QStringLiteral("Beta"));
    NewChild(QStringLiteral("alpha"));
    TStatusPanels* bar = frame->StatusBar;
    EXPECT_EQ(bar->Count(), 3);  // off until switched on
    frame->SetShowWindowPanels(true);
    ASSERT_EQ(bar->Count(), 5);
    const int client = bar->contentsRect().width();
    const int fixed = 50 + 75 + 4;  // last fixed panel at creation + panels 0 and 1
    const int pw = std::min((client - fixed) / 2, 100);
    EXPECT_EQ(bar->Panel(3).Width, pw);
    EXPECT_EQ(bar->Panel(2).Width, client - 2 * pw - fixed + 50);
    EXPECT_EQ(bar->Panel(3).Text, "alpha");  // sorted without regard to case
    EXPECT_EQ(bar->Panel(4).Text, "Beta");
    EXPECT_EQ(bar->Panel(3).Bevel, TPanelBevel::Lowered);  // the active window
    EXPECT_EQ(bar->Panel(4).Bevel, TPanelBevel::Raised);

    // A narrow window: no negative widths.
    frame->resize(60, 300);
    bar->resize(60, bar->height());
    frame->UpdateWindowPanels();
    for (int i = 0; i < bar->Count(); ++i)
        EXPECT_GE(bar->Panel(i).Width, 0) << i;

    frame->SetShowWindowPanels(false);
    EXPECT_EQ(bar->Count(), 3);
    EXPECT_EQ(bar->Panel(2).Width, 50);
}

TEST_F(MDIMainTest, ClickSwitchesWindowsAndChecksTheIndex)
{
    TMDIChild* a = NewChild(QStringLiteral("Same"));
    TMDIChild* b = NewChild(QStringLiteral("Same"));
    TMDIChild* other = NewChild(QStringLiteral("Other"));
    frame->SetShowWindowPanels(true);
    frame->MdiArea->setActiveSubWindow(b->SubWindow());
    ASSERT_EQ(frame->ActiveMDIChild(), b);
    // Panels: Other, Same, Same. A click on a "Same" panel leaves the active "Same" window.
    ASSERT_EQ(frame->StatusBar->Panel(4).Text, "Same");
    frame->SwitchToPanel(4);
    EXPECT_EQ(frame->ActiveMDIChild(), a);
    frame->SwitchToPanel(3);
    EXPECT_EQ(frame->ActiveMDIChild(), other);
    for (int panel : {2, 40, -1})  // a fixed panel, or none: nothing
        frame->SwitchToPanel(panel);
    EXPECT_EQ(frame->ActiveMDIChild(), other);

    const int x = frame->StatusBar->PanelLeft(5) + 3;
    frame->StatusBarMouseMove(x, 4);
    EXPECT_EQ(frame->HoverPanel, 5);
    EXPECT_EQ(frame->StatusBar->toolTip(), "Click to switch to window [Same]");
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
    ASSERT_EQ(frame->StatusBar->Count(), 4);
    EXPECT_EQ(frame->StatusBar->Panel(3).Text, "Keep");
    EXPECT_TRUE(frame->PanelTimer->isActive());
    stubborn->allow = true;
}

TEST_F(MDIMainTest, FullscreenNeedsNoChildren)
{
    NewChild(QStringLiteral("x"));
    TMessageBoxes boxes;
    frame->SetFullscreen(true);
    frame->HelpUpdateExecute();
    EXPECT_FALSE(frame->ViewFullscreen->isChecked());
    EXPECT_EQ(boxes.Texts.last(), "Please close all windows before updating");
}

TEST(WallPaper, TilesAndCentredPositions)
{
    const QList<QPoint> tiles = TWallPaper::TilePositions(QSize(250, 100), QSize(100, 60), true);
    // Columns 0..2 and rows 0..1, both bounds included.
    EXPECT_EQ(tiles, (QList<QPoint>{{0, 0}, {100, 0}, {200, 0}, {0, 60}, {100, 60}, {200, 60}}));
    EXPECT_EQ(TWallPaper::TilePositions(QSize(300, 200), QSize(100, 50), false), (QList<QPoint>{{100, 75}}));
    // Larger than the area: negative offsets, halved towards zero.
    EXPECT_EQ(TWallPaper::TilePositions(QSize(100, 100), QSize(205, 151), false), (QList<QPoint>{{-52, -25}}));
    EXPECT_TRUE(TWallPaper::TilePositions(QSize(100, 100), QSize(0, 0), true).isEmpty());
}

TEST(WallPaper, PaintsCentredOnWhiteOrBlack)
{
    TWallPaper paper;
    QPixmap red(10, 10);
    red.fill(Qt::red);
    paper.Picture = red;
    paper.Tiled = false;
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::green);
    {
        QPainter p(&image);
        paper.Paint(p, image.size());
    }
    // Centred in 30 x 20: pixels 10..19 and 5..14.
    for (auto [x, y, colour] : {std::tuple{0, 0, Qt::white}, {10, 5, Qt::red}, {19, 14, Qt::red}, {20, 15, Qt::white}})
        EXPECT_EQ(image.pixelColor(x, y), QColor(colour)) << x << " " << y;
    paper.BackGround = false;
    {
        QPainter p(&image);
        paper.Paint(p, image.size());
    }
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_FALSE(TWallPaper::DefaultPicture().isNull());
}

TEST(FormDialog, OkTakesCancelsPlaceAndColours)
{
    TFormDialog dialog;
    const int cancelX = dialog.btbCancel->x();
    dialog.btbCancel->hide();
    dialog.show();
    EXPECT_EQ(dialog.btbOk->x(), cancelX);
    dialog.SetColors(QFont(), Qt::blue, QColor(10, 20, 30), Qt::white);
    EXPECT_EQ(dialog.palette().color(QPalette::Window), QColor(10, 20, 30));
    EXPECT_EQ(dialog.btbOk->palette().color(QPalette::ButtonText), QColor(Qt::black)); // buttons keep theirs
    dialog.btbOk->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}
