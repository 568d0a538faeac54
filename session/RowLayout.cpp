// The row window's layout: section "Row" (and layout files), which parts are shown, the
// splitters, the value areas, the pop-up menus and the colours.
#include "session/RowWindow.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "platform/IniFiles.h"
#include "shell/MainWindow.h"
#include "shell/StatusPanels.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"
#include "widgets/ValueArea.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>

namespace {

const QString kRow = QStringLiteral("Row");
const QString kBottomDefaults = QStringLiteral("0.1 0.6 0.7 0.3 1.2 1.12 1.9 1.5");
const QString kRightDefaults = QStringLiteral("0.0 1.5 2.7 3.11");
constexpr int kRightValuesWidth = 140;

QString CanonicalOrAbsolute(const QString& name) {
    const QFileInfo info(name);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

}  // namespace

bool TfrmRow::IsSettingsFile(const QString& fileName) {
    if (fileName.isEmpty())
        return false;
    // Case matters on this system: two names that differ only in case are two files.
    const QString name = CanonicalOrAbsolute(fileName);
    for (const bool writeMode : {false, true})
        if (const QString settings = GetUserIniFileName(writeMode); !settings.isEmpty() && name == CanonicalOrAbsolute(settings))
            return true;
    return false;
}

// ---------------------------------------------------------------- load and save

void TfrmRow::LoadLayout(const QString& fileName, int placement) {
    if (IsSettingsFile(fileName)) {
        LeftChart = true;
        RightChart = true;
        RightValues = false;
        WidthRightValues = 300;
        BottomValues = true;
        HeightBottomValues = 200;
        LeftIndex = 0;
        LeftReference = true;
        LeftPrevious = true;
        RightIndex = -2;
        RightX = 0;
        RightY = 1;
        RightZ = 12;
    }
    TRowTuning& tuning = Session->Tuning;
    tuning = TRowTuning{};
    Language = 0;
    if (!fileName.isEmpty() && QFileInfo::exists(fileName)) {
        const TIniFile ini(fileName);
        BoundsLeft = ini.ReadInteger(kRow, QStringLiteral("Left"), BoundsLeft);
        BoundsTop = ini.ReadInteger(kRow, QStringLiteral("Top"), BoundsTop);
        BoundsWidth = ini.ReadInteger(kRow, QStringLiteral("Width"), BoundsWidth);
        BoundsHeight = ini.ReadInteger(kRow, QStringLiteral("Height"), BoundsHeight);
        LeftChart = ini.ReadBool(kRow, QStringLiteral("LeftChart"), LeftChart);
        RightChart = ini.ReadBool(kRow, QStringLiteral("RightChart"), RightChart);
        RightValues = ini.ReadBool(kRow, QStringLiteral("RightValues"), RightValues);
        if (RightValues)
            WidthRightValues = ini.ReadInteger(kRow, QStringLiteral("WidthRightValues"), WidthRightValues);
        BottomValues = ini.ReadBool(kRow, QStringLiteral("BottomValues"), BottomValues);
        if (BottomValues)
            HeightBottomValues = ini.ReadInteger(kRow, QStringLiteral("HeightBottomValues"), HeightBottomValues);
        LeftIndex = ini.ReadInteger(kRow, QStringLiteral("LeftIndex"), LeftIndex);
        LeftReference = ini.ReadBool(kRow, QStringLiteral("LeftReference"), LeftReference);
        LeftPrevious = ini.ReadBool(kRow, QStringLiteral("LeftPrevious"), LeftPrevious);
        RightIndex = ini.ReadInteger(kRow, QStringLiteral("RightIndex"), RightIndex);
        RightX = ini.ReadInteger(kRow, QStringLiteral("RightX"), RightX);
        RightY = ini.ReadInteger(kRow, QStringLiteral("RightY"), RightY);
        RightZ = ini.ReadInteger(kRow, QStringLiteral("RightZ"), RightZ);
        tuning.Inertia = ini.ReadInteger(kRow, QStringLiteral("Inertia"), tuning.Inertia);
        tuning.StrokeTrigger = ini.ReadInteger(kRow, QStringLiteral("StrokeTrigger"), tuning.StrokeTrigger);
        tuning.Tension = ini.ReadInteger(kRow, QStringLiteral("Tension"), tuning.Tension);
        tuning.ThresHold = ini.ReadInteger(kRow, QStringLiteral("ThresHold"), tuning.ThresHold);
        tuning.DemoFast = ini.ReadBool(kRow, QStringLiteral("DemoFast"), tuning.DemoFast);
    }
    // Hand-edited values outside the menus' choices fall back to the nearest sensible one.
    LeftIndex = LeftIndex < 0 ? -1 : 0;
    if (RightIndex != -1)
        RightIndex = -2;
    RightX = std::clamp(RightX, 0, kStrokeParameterCount - 1);
    RightY = std::clamp(RightY, -1, kStrokeParameterCount - 1);
    RightZ = std::clamp(RightZ, -1, kStrokeParameterCount - 1);
    WidthRightValues = std::max(WidthRightValues, kRowRightValuesMin);
    HeightBottomValues = std::max(HeightBottomValues, kRowBottomValuesMin);

    Place(placement, BoundsLeft, BoundsTop, BoundsWidth, BoundsHeight);
    SetupLeftChart();
    SetupRightChart();
    ApplyLayout(nullptr);
    if (FValueData) {
        FValueData->LoadOptions(fileName);
        FValueData->LoadColors(fileName);
    }
    if (FRightArea)
        FRightArea->LoadItems(fileName);
    if (FBottomArea)
        FBottomArea->LoadItems(fileName);
}

void TfrmRow::SaveLayout(const QString& fileName) {
    GetFormBounds(this, BoundsLeft, BoundsTop, BoundsWidth, BoundsHeight);
    if (RightValues && FRightArea && FRightArea->width() > 0)
        WidthRightValues = FRightArea->width();
    if (BottomValues && FBottomArea && FBottomArea->height() > 0)
        HeightBottomValues = FBottomArea->height();
    if (!fileName.isEmpty() && IsFileWritable(fileName)) {
        TIniFile ini(fileName);
        ini.WriteInteger(kRow, QStringLiteral("Left"), BoundsLeft);
        ini.WriteInteger(kRow, QStringLiteral("Top"), BoundsTop);
        ini.WriteInteger(kRow, QStringLiteral("Width"), BoundsWidth);
        ini.WriteInteger(kRow, QStringLiteral("Height"), BoundsHeight);
        ini.WriteBool(kRow, QStringLiteral("LeftChart"), LeftChart);
        ini.WriteBool(kRow, QStringLiteral("RightChart"), RightChart);
        ini.WriteBool(kRow, QStringLiteral("RightValues"), RightValues);
        if (RightValues)
            ini.WriteInteger(kRow, QStringLiteral("WidthRightValues"), WidthRightValues);
        ini.WriteBool(kRow, QStringLiteral("BottomValues"), BottomValues);
        if (BottomValues)
            ini.WriteInteger(kRow, QStringLiteral("HeightBottomValues"), HeightBottomValues);
        ini.WriteInteger(kRow, QStringLiteral("LeftIndex"), LeftIndex);
        ini.WriteBool(kRow, QStringLiteral("LeftReference"), LeftReference);
        ini.WriteBool(kRow, QStringLiteral("LeftPrevious"), LeftPrevious);
        ini.WriteInteger(kRow, QStringLiteral("RightIndex"), RightIndex);
        ini.WriteInteger(kRow, QStringLiteral("RightX"), RightX);
        ini.WriteInteger(kRow, QStringLiteral("RightY"), RightY);
        ini.WriteInteger(kRow, QStringLiteral("RightZ"), RightZ);
        if (!ini.UpdateFile())
            DebugTrace(QStringLiteral("Row layout not saved to ") + fileName);
    }
    // The data's options and the areas' items test writability themselves.
    if (FValueData) {
        FValueData->SaveOptions(fileName);
        FValueData->SaveColors(fileName);
    }
    if (FRightArea)
        FRightArea->SaveItems(fileName);
    if (FBottomArea)
        FBottomArea->SaveItems(fileName);
}

// ---------------------------------------------------------------- apply

void TfrmRow::ApplyLayout(QAction* action) {
    if (!action) {
        LayoutLeftChart->setChecked(LeftChart);
        LayoutRightChart->setChecked(RightChart);
        LayoutRightValues->setChecked(RightValues);
        LayoutBottomValues->setChecked(BottomValues);
    } else {
        action->setChecked(!action->isChecked());
    }
    LeftChart = LayoutLeftChart->isChecked();
    RightChart = LayoutRightChart->isChecked();
    RightValues = LayoutRightValues->isChecked();
    BottomValues = LayoutBottomValues->isChecked();

    pnlChartLeft->setVisible(LeftChart);
    pnlCharts->setVisible(LeftChart || RightChart);
    pnlChartRight->setVisible(RightChart);
    LayoutCharts();

    if (RightValues) {
        if (!FRightArea)
            CreateRightValues();
        if (!action || action == LayoutRightValues)
            FSizesPending = true;
    } else {
        FreeArea(FRightArea);
    }
    if (BottomValues) {
        if (!FBottomArea)
            CreateBottomValues();
        if (!action || action == LayoutBottomValues)
            FSizesPending = true;
    } else {
        FreeArea(FBottomArea);
    }
    // The top half (charts, right values) goes when it holds nothing; the bottom values then fill
    // the page and its splitter handle goes with it.
    splRight->setVisible(pnlCharts->isVisibleTo(splRight) || FRightArea);
    ApplyPendingSizes();
    SetupLeftChart();
    SetupRightChart();
}

void TfrmRow::ApplyPendingSizes() {
    if (!FSizesPending || !isVisible() || tshAction->width() <= 0)
        return;
    FSizesPending = false;
    if (FRightArea && pnlCharts->isVisibleTo(splRight)) {
        const int total = splRight->width() - splRight->handleWidth();
        const int right = std::clamp(WidthRightValues, kRowRightValuesMin, std::max(total - kRowChartsMin, kRowRightValuesMin));
        splRight->setSizes({total - right, right});
    }
    if (FBottomArea && splRight->isVisibleTo(splBottom)) {
        const int total = splBottom->height() - splBottom->handleWidth();
        const int bottom =
            std::clamp(HeightBottomValues, kRowBottomValuesMin, std::max(total - kRowChartsMin, kRowBottomValuesMin));
        splBottom->setSizes({total - bottom, bottom});
    }
}

void TfrmRow::CreateBottomValues() {
    auto* area = new TValueArea;
    area->IniSection = QStringLiteral("RowBottom");
    area->DefaultItems = kBottomDefaults;
    area->setToolTip(QStringLiteral("(right-click for options)"));
    area->setMinimumHeight(kRowBottomValuesMin);
    area->SetData(FValueData.get());
    if (TfrmMain* main = MainWindow())
        area->UpdateAppearance(main->OptionsFont, main->TextColor, main->BackColor, main->WindowColor);
    area->LoadItems(QString());
    splBottom->addWidget(area);
    splBottom->setStretchFactor(1, 0);
    FBottomArea = area;
}

void TfrmRow::CreateRightValues() {
    auto* area = new TValueArea;
    area->IniSection = QStringLiteral("RowRight");
    area->DefaultItems = kRightDefaults;
    area->setToolTip(QStringLiteral("(right-click for options)"));
    area->setMinimumWidth(kRowRightValuesMin);
    area->resize(kRightValuesWidth, area->height());
    area->SetData(FValueData.get());
    if (TfrmMain* main = MainWindow())
        area->UpdateAppearance(main->OptionsFont, main->TextColor, main->BackColor, main->WindowColor);
    area->LoadItems(QString());
    splRight->addWidget(area);
    splRight->setStretchFactor(1, 0);
    FRightArea = area;
}

void TfrmRow::FreeArea(QPointer<TValueArea>& area) {
    delete area.data();
    area.clear();
}

// The left chart is a square: beside the right chart it takes the panel's height as its width,
// alone it is centred in the panel.
void TfrmRow::LayoutCharts() {
    const QRect all = pnlCharts->rect();
    if (RightChart && LeftChart) {
        const int side = std::min(all.height(), all.width() / 2);
        pnlChartLeft->setGeometry(0, 0, side, all.height());
        pnlChartRight->setGeometry(side, 0, all.width() - side, all.height());
    } else if (LeftChart) {
        pnlChartLeft->setGeometry(all);
    } else if (RightChart) {
        pnlChartRight->setGeometry(all);
    }
    if (FLeftChart) {
        const QRect r = pnlChartLeft->rect();
        const int side = std::min(r.width(), r.height());
        FLeftChart->setGeometry((r.width() - side) / 2, (r.height() - side) / 2, side, side);
        FLeftChart->FitLengthLabelStep();
    }
    if (FRightChart)
        FRightChart->setGeometry(pnlChartRight->rect());
}

// ---------------------------------------------------------------- menus

void TfrmRow::CreateMenus() {
    popLeft = new QMenu(this);
    const auto leftItem = [this](const QString& text, int tag, const QString& hint) {
        QAction* a = popLeft->addAction(text);
        a->setCheckable(true);
        a->setStatusTip(hint);
        a->setToolTip(hint);
        SetActionTag(a, tag);
        connect(a, &QAction::triggered, this, [this, a] { LeftPopupClick(a); });
        FLeftItems << a;
        return a;
    };
    leftItem(QStringLiteral("&Empty"), -1, QStringLiteral("Don't show force curve(s)"));
    leftItem(QStringLiteral("&Force curve"), 0, QStringLiteral("Show current force curve"));
    popLeft->addSeparator();
    leftItem(QStringLiteral("&Reference curve"), -10, QStringLiteral("Show reference curve(s)"));
    leftItem(QStringLiteral("&Previous curve"), -11, QStringLiteral("Show previous force curve in inverse colour"));
    connect(popLeft, &QMenu::aboutToShow, this, &TfrmRow::popLeftPopup);

    popRight = new QMenu(this);
    const auto topItem = [this](const QString& text, int tag) {
        QAction* a = popRight->addAction(text);
        a->setCheckable(true);
        SetActionTag(a, tag);
        connect(a, &QAction::triggered, this, [this, a] { RightPopupClick(a); });
        FRightTopItems << a;
    };
    topItem(QStringLiteral("&Empty"), -1);
    topItem(QStringLiteral("&Stroke data"), -2);
    popRight->addSeparator();
    const std::array<QString, 3> titles{QStringLiteral("&X-Axis"), QStringLiteral("&Y-Axis"), QStringLiteral("&Z-Axis")};
    std::array<QList<QAction*>*, 3> lists{&FRightXItems, &FRightYItems, &FRightZItems};
    for (int axis = 0; axis < 3; ++axis) {
        QMenu* sub = popRight->addMenu(titles[std::size_t(axis)]);
        auto* group = new QActionGroup(sub);
        const auto add = [&](const QString& text, const QString& hint, int tag) {
            QAction* a = sub->addAction(text);
            a->setCheckable(true);
            a->setStatusTip(hint);
            SetActionTag(a, tag);
            group->addAction(a);
            connect(a, &QAction::triggered, this, [this, axis, a] { RightAxisClick(axis, a); });
            *lists[std::size_t(axis)] << a;
        };
        if (axis > 0)
            add(QStringLiteral("Empty"), QString(), -1);
        for (int i = 0; i < kStrokeParameterCount && i < int(StrokeParameters.size()); ++i)
            if (StrokeParameters[std::size_t(i)].Id >= 0)
                add(StrokeParameterCaption(i), StrokeParameterLongTitle(i), i);
    }
    connect(popRight, &QMenu::aboutToShow, this, &TfrmRow::popRightPopup);

    for (QWidget* w : {pnlChartLeft, pnlChartRight}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint& pos) {
            QMenu* menu = w == pnlChartLeft ? (LeftChart ? popLeft : nullptr) : (RightChart ? popRight : nullptr);
            if (menu)
                menu->popup(w->mapToGlobal(pos));
        });
    }
}

void TfrmRow::LeftPopupClick(QAction* item) {
    const int tag = ActionTag(item);
    const bool checked = item->isChecked();
    switch (tag) {
    case -11:
        LeftIndex = 0;
        LeftPrevious = checked;
        break;
    case -10:
        LeftIndex = 0;
        LeftReference = checked;
        break;
    case -1:
        LeftIndex = -1;
        break;
    default:
        LeftIndex = 0;
        break;
    }
    SetupLeftChart();
    LayoutCharts();
}

void TfrmRow::popLeftPopup() {
    for (QAction* a : FLeftItems) {
        const int tag = ActionTag(a);
        if (tag == -10)
            a->setChecked(LeftReference);
        else if (tag == -11)
            a->setChecked(LeftPrevious);
        else
            a->setChecked(tag == LeftIndex);
    }
}

void TfrmRow::RightPopupClick(QAction* item) {
    RightIndex = ActionTag(item);
    SetupRightChart();
    LayoutCharts();
}

void TfrmRow::RightAxisClick(int axis, QAction* item) {
    item->setChecked(true);
    const int tag = ActionTag(item);
    if (axis == 0)
        RightX = tag;
    else if (axis == 1)
        RightY = tag;
    else
        RightZ = tag;
    RightIndex = -2;
    SetupRightChart();
    LayoutCharts();
}

void TfrmRow::popRightPopup() {
    for (QAction* a : FRightTopItems)
        a->setChecked(ActionTag(a) == RightIndex);
    const std::array<std::pair<QList<QAction*>*, int>, 3> axes{
        {{&FRightXItems, RightX}, {&FRightYItems, RightY}, {&FRightZItems, RightZ}}};
    for (const auto& [items, value] : axes)
        for (QAction* a : *items)
            a->setChecked(ActionTag(a) == value);
}

// ---------------------------------------------------------------- colours

void TfrmRow::SetColors(const QFont& font, const QColor& fontColor, const QColor& listColor, const QColor& formColor) {
    setFont(font);
    FWindowColor = formColor.isValid() ? formColor : palette().color(QPalette::Window);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, FWindowColor);
    setPalette(pal);
    setAutoFillBackground(true);
    QPalette logPal = memLog->palette();
    if (listColor.isValid())
        logPal.setColor(QPalette::Base, listColor);
    if (fontColor.isValid())
        SetEnabledColor(logPal, QPalette::Text, fontColor);
    memLog->setPalette(logPal);
    memLog->setFont(font);
    for (TChartWidget* chart : {FLeftChart.data(), FRightChart.data()})
        if (chart)
            ApplyChartColors(chart);
    for (TValueArea* area : {FBottomArea.data(), FRightArea.data()})
        if (area)
            area->UpdateAppearance(font, fontColor, listColor, formColor);
    QPalette buttonPal = ConnectButton->palette();
    SetEnabledColor(buttonPal, QPalette::ButtonText, Qt::black);
    ConnectButton->setPalette(buttonPal);
    ConnectButton->setFont(font);
    SetupRightChart();
    update();
    FocusConnectButton();
}
