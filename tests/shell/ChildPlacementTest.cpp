// Child windows placed from the settings come back from maximised and minimised at a size a
// person can use: their saved bounds, else the size of their design.
#include "support/FileHelpers.h"
#include "support/MainWindowHome.h"
#include "support/QtPrinters.h"
#include "support/UiInput.h"
#include "analysis/ForceCurveWindow.h"
#include "analysis/StrokeDataWindow.h"
#include "foundation/core/AppUtils.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "widgets/UiUtils.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <gtest/gtest.h>

namespace {

class ChildPlacement : public TMainWindowHome {};

TEST_F(ChildPlacement, WindowsComeBackAtTheirSavedOrDesignSize)
{
    enum TStart { Maximised, MinimisedBySettings, MinimisedByItsButton, SavedBounds };
    const struct {
        const char* Kind;
        const char* Section;
        std::function<TMDIChild*(TfrmMain&)> Open;
        QSize Design;
    } kinds[] = {
        {"training", "Training", [](TfrmMain& main) { return main.NewTraining(GetUserIniFileName(false)); },
         {640, 480}},
        {"stroke data", "StrokeData", [](TfrmMain& main) { return ShowStrokeData(&main); }, {489, 313}},
        {"force curves", "ForceCurves", [](TfrmMain& main) { return OpenForceCurveWindow(&main); }, {565, 476}},
    };
    const struct {
        const char* What;
        TStart Start;
        int ViewMode;
    } starts[] = {
        {"maximised by the view mode", Maximised, 3},
        {"minimised by its saved bounds", MinimisedBySettings, 1},
        {"opened as made, minimised by its button", MinimisedByItsButton, 0},
        {"saved bounds, maximised by its button", SavedBounds, 1},
    };
    for (const auto& kind : kinds) {
        for (const auto& start : starts) {
            SCOPED_TRACE(std::string(kind.Kind) + ", " + start.What);
            NewForm();
            form->setWindowState(Qt::WindowNoState);  // the frame at this size, not maximised on the screen
            form->resize(1200, 900);
            form->show();
            QByteArray settings;
            if (start.Start == MinimisedBySettings)
                settings = "Left=0\nTop=0\nWidth=0\nHeight=0\n";
            else if (start.Start == SavedBounds)
                settings = "Left=30\nTop=40\nWidth=700\nHeight=520\n";
            ASSERT_TRUE(WriteAllBytes(GetUserIniFileName(true), "[" + QByteArray(kind.Section) + "]\n" + settings));
            form->TrainingViewMode = std::uint8_t(start.ViewMode);
            form->NewTraining(GetUserIniFileName(false));  // the analysis windows show open trainings
            TMDIChild* window = kind.Open(*form);
            ASSERT_TRUE(window);
            QMdiSubWindow* frame = window->SubWindow();
            QCoreApplication::processEvents();
            if (start.Start == MinimisedByItsButton) {
                // Placed beside the other window, then grown to its design: its title bar stays in view.
                const QRect view = form->MdiArea->viewport()->rect();
                EXPECT_TRUE(view.contains(frame->geometry().topLeft()));
                EXPECT_LE(frame->geometry().right(), view.right());
                ASSERT_TRUE(ClickTitleBar(frame, QStyle::SC_TitleBarMinButton));
            } else if (start.Start == SavedBounds) {
                ASSERT_TRUE(ClickTitleBar(frame, QStyle::SC_TitleBarMaxButton));
            }
            ASSERT_TRUE(frame->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));

            ASSERT_TRUE(ClickTitleBar(frame, QStyle::SC_TitleBarNormalButton));
            EXPECT_FALSE(frame->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
            if (start.Start == SavedBounds) {
                EXPECT_EQ(frame->geometry(), QRect(30, 40, 700, 520));
            } else {
                EXPECT_EQ(window->size(), kind.Design);
            }
        }
    }
}

}  // namespace
