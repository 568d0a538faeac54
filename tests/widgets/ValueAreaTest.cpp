#include "widgets/ValueArea.h"
#include "widgets/ValueOptionsDialog.h"

#include "platform/IniFiles.h"
#include "widgets/UiUtils.h"
#include "support/UiInput.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

constexpr int kPower = 1;
constexpr int kRate = 2;
constexpr int kTime = 5;

std::unique_ptr<TValueData> MakeData() {
    auto data = std::make_unique<TValueData>();
    data->DefineValue(kPower, QStringLiteral("Power"), QStringLiteral("Power in watts"), QStringLiteral("%1.0f"));
    data->DefineValue(kRate, QStringLiteral("Rate"), QStringLiteral("Strokes a minute"), QStringLiteral("%1.1f"));
    data->DefineValue(kTime, QStringLiteral("Time"), QStringLiteral("Session time"), QStringLiteral("Thh:nn:ss.0"));
    return data;
}

QStringList Captions(const QMenu* menu) {
    QStringList list;
    for (const QAction* a : menu->actions()) list << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return list;
}

QAction* Tagged(const QMenu* menu, int tag) {
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->data().toInt() == tag) return a;
    return nullptr;
}

struct ValueAreaWidget : ::testing::Test {
    std::unique_ptr<TValueData> Data = MakeData();
    TValueArea Area;
    void SetUp() override {
        Area.resize(300, 200);
        Area.SetData(Data.get());
        Area.Layout().LoadItemsText(QStringLiteral("0.1 0.2 1.5"), *Data);
    }
};

} // namespace

TEST_F(ValueAreaWidget, PopupMenuEntriesFollowTheHit) {
    ASSERT_NE(Area.PopupMenu(), nullptr);
    struct TCase {
        QPoint Pos;
        int Row, Cell;
        bool DeleteRow, ChangeCell, Options;
    };
    const TCase cases[] = {
        {{10, 10}, 0, 0, true, true, true},
        {{160, 150}, 1, 0, true, true, true},
        {{150, 10}, 0, -1, true, false, false}, // on the edge between the two cells
        {{10, 100}, -1, -1, false, false, false},
    };
    for (const TCase& c : cases) {
        Area.PopupMenuPopup(c.Pos);
        EXPECT_EQ((std::vector<int>{Area.HitRow, Area.HitCell}), (std::vector<int>{c.Row, c.Cell}));
        EXPECT_EQ((std::vector<bool>{Area.MenuEntry(1)->isEnabled(), Area.MenuEntry(3)->isEnabled(),
                                     Area.MenuEntry(4)->isEnabled(), Area.MenuEntry(5)->isEnabled(),
                                     Area.MenuEntry(7)->isEnabled()}),
                  (std::vector<bool>{c.DeleteRow, c.DeleteRow, c.ChangeCell, c.ChangeCell, c.Options}));
    }
    // Items are listed once; an item defined later is not added.
    Data->DefineValue(9, QStringLiteral("Late"), QString(), QString());
    Area.PopupMenuPopup({160, 150});
    EXPECT_EQ(Captions(Area.ChangeCellMenu()), (QStringList{"Empty", "Logo", "-", "Power", "Rate", "Time"}));
    for (QAction* a : Area.ChangeCellMenu()->actions())
        EXPECT_EQ(a->isChecked(), a->data().toInt() == kTime) << a->text().toStdString();
}

TEST_F(ValueAreaWidget, MenuActionsEditTheLayout) {
    Area.PopupMenuPopup({160, 150}); // row 1, cell 0
    Tagged(Area.AddCellMenu(), kLogoCellId)->trigger();
    Tagged(Area.AddCellMenu(), kPower)->trigger();
    Tagged(Area.AddCellMenu(), kEmptyCellId)->trigger();
    EXPECT_EQ(Area.Layout().ItemsText(), QStringLiteral("0.1 0.2 1.5 1.-2 1.1 1.-1"));
    Area.PopupMenuPopup({10, 10});
    Tagged(Area.ChangeCellMenu(), kLogoCellId)->trigger();
    Area.MenuEntry(0)->trigger(); // add row
    EXPECT_EQ(Area.Layout().ItemsText(), QStringLiteral("0.-2 0.2 1.5 1.-2 1.1 1.-1"));
    EXPECT_EQ(Area.Layout().RowCount(), 3);
    Area.MenuEntry(5)->trigger(); // delete cell 0 of row 0
    Area.MenuEntry(1)->trigger(); // delete row 0
    EXPECT_EQ(Area.Layout().ItemsText(), QStringLiteral("0.5 0.-2 0.1 0.-1"));

    // Off any row: the actions do nothing.
    Area.PopupMenuPopup({-1, -1});
    Area.MenuEntry(5)->trigger();
    Area.MenuEntry(1)->trigger();
    Tagged(Area.AddCellMenu(), kPower)->trigger();
    EXPECT_EQ(Area.Layout().ItemsText(), QStringLiteral("0.5 0.-2 0.1 0.-1"));
}

TEST_F(ValueAreaWidget, MenuFollowsTheDataOptions) {
    Data->SetCanOptions(false);
    EXPECT_FALSE(Area.MenuEntry(7)->isVisible());
    EXPECT_FALSE(Area.MenuEntry(6)->isVisible());
    Data->SetCanAdd(false);
    EXPECT_FALSE(Area.MenuEntry(0)->isVisible());
    EXPECT_TRUE(Area.MenuEntry(4)->isVisible());
    Data->SetCanChange(false);
    EXPECT_EQ(Area.PopupMenu(), nullptr);
    Data->SetCanOptions(true);
    ASSERT_NE(Area.PopupMenu(), nullptr);
    Data.reset(); // the data going away detaches the area
    EXPECT_EQ(Area.Data(), nullptr);
    EXPECT_EQ(Area.PopupMenu(), nullptr);
}

TEST_F(ValueAreaWidget, ItemsSettingRoundTrip) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kvwt.ini"));
    Area.IniSection = QStringLiteral("RowBottom");
    Area.SaveItems(file);
    EXPECT_EQ(TIniFile(file).ReadString(QStringLiteral("RowBottom"), QStringLiteral("Items"), QString()),
              QStringLiteral("0.1 0.2 1.5"));
    TValueArea other;
    other.SetData(Data.get());
    other.IniSection = QStringLiteral("RowRight");
    other.DefaultItems = QStringLiteral("0.2 x.y 1.-2");
    other.LoadItems(file);
    EXPECT_EQ(other.Layout().ItemsText(), QStringLiteral("0.2 1.-2"));
    other.IniSection = QStringLiteral("RowBottom");
    other.LoadItems(file);
    EXPECT_EQ(other.Layout().ItemsText(), QStringLiteral("0.1 0.2 1.5"));
    // Without CanChange nothing is written.
    Data->SetCanChange(false);
    Area.IniSection = QStringLiteral("Elsewhere");
    Area.SaveItems(file);
    EXPECT_FALSE(TIniFile(file).SectionExists(QStringLiteral("Elsewhere")));
}

TEST_F(ValueAreaWidget, PixelsLandWhereThePlanSays) {
    Area.Layout().LoadItemsText(QStringLiteral("0.1"), *Data);
    TValueItem item;
    Data->GetItem(kPower, item);
    item.Min = 0;
    item.Max = 400;
    item.Value = 100;
    item.Flags = vfBar;
    Data->SetItem(kPower, item);
    Data->Colors[0] = 0x00FF00; // green (COLORREF)
    Data->Colors[1] = 0xFF00FF; // magenta
    const QImage image = Area.grab().toImage();
    const int th = QFontMetrics(Area.font()).height();
    const TValueCellPlan plan = PlanValueCell(*Data->FindItem(kPower), 300 - 8, 200 - 8, th, 1, 1);
    const QPoint origin(kValueCellBorder, kValueCellBorder);
    // Bottom left of the filled part and bottom right of the rest, away from the digits.
    const auto at = [&](int x) { return image.pixelColor(origin + QPoint(x, plan.Inner.Bottom - 2)); };
    EXPECT_EQ(at(plan.Inner.Left + 1), QColor(0, 255, 0));
    EXPECT_EQ(at(plan.BarX - 1), QColor(0, 255, 0));
    EXPECT_EQ(at(plan.BarX), QColor(255, 0, 255));
    EXPECT_EQ(at(plan.Inner.Right - 1), QColor(255, 0, 255));
    EXPECT_EQ(at(plan.Inner.Right), Area.Color());
    // The value text is dark and sits inside the bar's right half.
    bool dark = false;
    for (int x = plan.Inner.Right - 60; x < plan.Inner.Right - 4 && !dark; ++x)
        dark = image.pixelColor(origin + QPoint(x, (plan.Inner.Top + plan.Inner.Bottom) / 2)).lightness() < 80;
    EXPECT_TRUE(dark);
}

TEST_F(ValueAreaWidget, OptionsDialogWritesTheItem) {
    TValueItem stored;
    Data->GetItem(kTime, stored);
    stored.Min = 60.0 / 86400;
    stored.Max = 3600.0 / 86400;
    stored.Flags = vfBar | vfBarGrid;
    Data->SetItem(kTime, stored);
    int runs = 0;
    TValueArea::OptionsDialogHook = [&](TfrmValueOptions& dialog) {
        if (++runs > 1) {
            dialog.Item.Flags = 0; // thrown away by Cancel
            return int(QDialog::Rejected);
        }
        dialog.show();
        EXPECT_EQ(dialog.edtMin->text(), QStringLiteral("01:00.0"));
        EXPECT_EQ(dialog.edtMax->text(), QStringLiteral("01:00:00.0"));
        EXPECT_TRUE(dialog.Preview && dialog.Preview->PopupMenu() == nullptr);
        // Unticking Bar disables its options but keeps their bits.
        dialog.cbxBar->click();
        EXPECT_FALSE(dialog.cbxBarGrid->isEnabled());
        EXPECT_EQ(dialog.Item.Flags, vfBarGrid);
        dialog.cbxMinMax->click();
        // Times read as the item shows them: minutes first below an hour.
        const std::tuple<QLineEdit*, const char*, double*, double> edits[] = {
            {dialog.edtMin, "02:30.5", &dialog.Item.Min, 150.5},
            {dialog.edtMax, "1:30", &dialog.Item.Max, 90},
            {dialog.edtStep, "0:30:00", &dialog.Item.Step, 1800},
        };
        for (const auto& [edit, text, field, seconds] : edits) {
            edit->setText(QString::fromLatin1(text));
            dialog.EditExit(edit);
            EXPECT_NEAR(*field * 86400, seconds, 1e-9) << text;
        }
        // A text that cannot be read shows the old value again.
        dialog.edtMin->setText(QStringLiteral("soon"));
        dialog.EditExit(dialog.edtMin);
        EXPECT_EQ(dialog.edtMin->text(), QStringLiteral("02:30.5"));
        // The preview draws the working copy, the data still holds the stored one.
        EXPECT_EQ(Data->FindItem(kTime)->Flags, vfBar | vfBarGrid);
        return int(QDialog::Accepted);
    };
    Area.AreaDblClick({160, 150});
    EXPECT_EQ(runs, 1);
    const TValueItem& item = *Data->FindItem(kTime);
    EXPECT_EQ(item.Flags, vfBarGrid | vfMinMax);
    EXPECT_NEAR(item.Max * 86400, 90, 1e-9);
    // Cancel keeps the stored item; no dialog on an empty spot or while options are off.
    Area.HitRow = 1;
    Area.HitCell = 0;
    Area.ShowOptions();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(Data->FindItem(kTime)->Flags, item.Flags);
    Area.AreaDblClick({10, 100});
    Data->SetCanOptions(false);
    Area.AreaDblClick({160, 150});
    EXPECT_EQ(runs, 2);
    TValueArea::OptionsDialogHook = nullptr;
}

// Shown by a double click on a cell, the dialog leaves the colour dialog only its own colour as a
// custom colour: the others are cleared.
TEST_F(ValueAreaWidget, ShowingClearsTheCustomColoursButTheFirst) {
    Area.show();
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, QColor(10 * i, 20, 30));
    QColor dialogColour;
    TModalSteps steps({[&](QWidget* modal) {
        dialogColour = modal->palette().color(QPalette::Button);
        QTest::keyClick(modal, Qt::Key_Escape);
    }});
    QTest::mouseDClick(&Area, Qt::LeftButton, {}, {160, 150});
    ASSERT_TRUE(steps.Steps.empty());
    EXPECT_EQ(QColorDialog::customColor(0), dialogColour);
    for (int i = 1; i < QColorDialog::customCount(); ++i)
        EXPECT_EQ(QColorDialog::customColor(i), QColor(Qt::white)) << i;
}

TEST_F(ValueAreaWidget, ColourChosenStaysAfterCancel) {
    TValueArea second;
    second.SetData(Data.get());
    TValueArea::OptionsDialogHook = [&](TfrmValueOptions& dialog) {
        dialog.ChooseColor = [](QColor& color) {
            EXPECT_EQ(color, QColor(255, 0, 0)); // the history graph's red
            color = QColor(0x12, 0x34, 0x56);
            return true;
        };
        dialog.btnHistoryGraph->click();
        dialog.ChooseColor = [](QColor&) { return false; };
        dialog.btnBarLeft->click();
        return int(QDialog::Rejected);
    };
    Area.AreaDblClick({10, 10});
    TValueArea::OptionsDialogHook = nullptr;
    EXPECT_EQ(Data->Colors[4], 0x563412u);
    EXPECT_EQ(Data->Colors[0], clYellow);
}

TEST(ValueColor, SystemColoursComeFromThePalette) {
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    EXPECT_EQ(ValueColor(clBtnFace, palette), QColor(1, 2, 3));
    EXPECT_EQ(ValueColor(0x0000FF, palette), QColor(255, 0, 0));
    EXPECT_EQ(ValueColor(0x01FF0000, palette), QColor(0, 0, 255)); // a stray high byte is ignored
}
