#include "shell/ChartOptionsDialog.h"

#include "platform/CodePage.h"
#include "shell/MainWindow.h"
#include "widgets/ColorGrid.h"
#include "widgets/ShapeSample.h"
#include "widgets/UiUtils.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QRadioButton>

namespace {

// Style and width each button stands for, in the order of the buttons.
struct TPenChoice {
    std::uint8_t Style;
    int Width;  // 0: the button leaves the width at 1
};
constexpr std::array<TPenChoice, 8> kChoices{{
    {1, 0}, {3, 0}, {4, 0}, {2, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4},
}};

}  // namespace

TfrmChartOptions::TfrmChartOptions(QWidget* parent) : TFormDialog(parent)
{
    resize(330, 230);
    gbxColor = new QGroupBox(tr("Color"), Client);
    gbxStyle = new QGroupBox(tr("Style"), Client);
    gbxColor->setMinimumSize(136, 146);
    ColorGrid = new TColorGrid(gbxColor);
    ColorGrid->setGeometry(8, 18, 120, 120);
    ColorGrid->SetBackgroundIndex(4);
    ColorGrid->BackgroundEnabled = false;

    auto* styles = new QGridLayout(gbxStyle);
    auto* group = new QButtonGroup(this);
    const char* names[] = {"Dash", "Dash dot", "Dash dot dot", "Dot", "Solid 1", "Solid 2", "Solid 3", "Solid 4"};
    for (int i = 0; i < 8; ++i) {
        FShapes[std::size_t(i)] = new TShape(gbxStyle);
        FShapes[std::size_t(i)]->setFixedSize(60, std::max(1, kChoices[std::size_t(i)].Width));
        FShapes[std::size_t(i)]->SetPen(Qt::black, PenStyleOfByte(kChoices[std::size_t(i)].Style),
                                        std::max(1, kChoices[std::size_t(i)].Width));
        FButtons[std::size_t(i)] = new QRadioButton(tr(names[i]), gbxStyle);
        group->addButton(FButtons[std::size_t(i)], i);
        styles->addWidget(FShapes[std::size_t(i)], i, 0, Qt::AlignVCenter);
        styles->addWidget(FButtons[std::size_t(i)], i, 1);
    }
    shpDash = FShapes[0];
    shpDashDot = FShapes[1];
    shpDashDotDot = FShapes[2];
    shpDot = FShapes[3];
    shpSolid1 = FShapes[4];
    shpSolid2 = FShapes[5];
    shpSolid3 = FShapes[6];
    shpSolid4 = FShapes[7];
    rbnDash = FButtons[0];
    rbnDashDot = FButtons[1];
    rbnDashDotDot = FButtons[2];
    rbnDot = FButtons[3];
    rbnSolid1 = FButtons[4];
    rbnSolid2 = FButtons[5];
    rbnSolid3 = FButtons[6];
    rbnSolid4 = FButtons[7];

    auto* layout = new QHBoxLayout(Client);
    layout->addWidget(gbxColor, 0, Qt::AlignTop);
    layout->addWidget(gbxStyle, 1);

    connect(ColorGrid, &TColorGrid::Changed, this, [this] {
        const QColor color = ColorRefToQColor(ColorGrid->ForegroundColor());
        for (TShape* shape : FShapes)
            shape->SetPenColor(color);
    });
    FDesignTextColor = palette().color(QPalette::WindowText);
}

void TfrmChartOptions::LoadFrom(const TTraining& training)
{
    setWindowTitle(QStringLiteral("Chart options for \"%1\"").arg(Cp1252ToQString(training.Header.Title)));
    const std::uint32_t color = std::uint32_t(training.Header.Color);
    const int index = TColorGrid::IndexOfColor(color);
    ColorGrid->SetForegroundIndex(index);
    const QColor sample = ColorRefToQColor(color);
    for (TShape* shape : FShapes)
        shape->SetPenColor(sample);

    // Exclusive buttons cannot all be unchecked while the group is exclusive.
    QButtonGroup* group = FButtons[0]->group();
    group->setExclusive(false);
    for (QRadioButton* button : FButtons)
        button->setChecked(false);
    group->setExclusive(true);
    const std::uint8_t style = training.Header.PenStyle;
    for (std::size_t i = 0; i < kChoices.size(); ++i) {
        const TPenChoice& c = kChoices[i];
        if (c.Style == style && (style != 0 || c.Width == training.Header.PenWidth))
            FButtons[i]->setChecked(true);
    }
}

bool TfrmChartOptions::StoreTo(TTraining& training) const
{
    TStgHeader& h = training.Header;
    const TStgHeader old = h;
    if (ColorGrid->ForegroundIndex() >= 0)
        h.Color = std::int32_t(ColorGrid->ForegroundColor());
    for (std::size_t i = 0; i < kChoices.size(); ++i) {
        if (!FButtons[i]->isChecked())
            continue;
        h.PenStyle = kChoices[i].Style;
        h.PenWidth = std::max(1, kChoices[i].Width);
    }
    return h.Color != old.Color || h.PenStyle != old.PenStyle || h.PenWidth != old.PenWidth;
}

bool TfrmChartOptions::Execute(TTraining& training)
{
    LoadFrom(training);
    if (exec() != QDialog::Accepted)
        return false;
    return StoreTo(training);
}

void TfrmChartOptions::SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                                 const QColor& windowColor)
{
    TFormDialog::SetColors(font, textColor, backColor, windowColor);
    QPalette pal = palette();
    SetEnabledColor(pal, QPalette::WindowText, FDesignTextColor);
    setPalette(pal);
    for (TShape* shape : FShapes)
        shape->SetBrushColor(DesignColor);
    update();
}

TfrmChartOptions& ChartOptionsDialog()
{
    static QPointer<TfrmChartOptions> dialog;
    if (!dialog) {
        dialog = new TfrmChartOptions(frmMain);
        TakeMainLook(*dialog);
    }
    return *dialog;
}
