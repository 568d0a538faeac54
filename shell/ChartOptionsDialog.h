// The colour and pen of one training's chart line: a grid of 16 colours and eight pen samples.
#pragma once

#include "foundation/core/Types.h"
#include "shell/FormDialog.h"

#include <array>

class QGroupBox;
class QRadioButton;
class TColorGrid;
class TShape;

class TfrmChartOptions : public TFormDialog {
    Q_OBJECT
public:
    explicit TfrmChartOptions(QWidget* parent = nullptr);

    QGroupBox* gbxColor;
    QGroupBox* gbxStyle;
    TColorGrid* ColorGrid;
    TShape* shpDash;
    TShape* shpDashDot;
    TShape* shpDashDotDot;
    TShape* shpDot;
    TShape* shpSolid1;
    TShape* shpSolid2;
    TShape* shpSolid3;
    TShape* shpSolid4;
    QRadioButton* rbnDash;
    QRadioButton* rbnDashDot;
    QRadioButton* rbnDashDotDot;
    QRadioButton* rbnDot;
    QRadioButton* rbnSolid1;
    QRadioButton* rbnSolid2;
    QRadioButton* rbnSolid3;
    QRadioButton* rbnSolid4;

    // Shows the dialog for the training; on OK stores the choice. True when the colour, style
    // or width changed.
    bool Execute(TTraining& training);
    // The two halves of Execute: the controls from the record, and the choice into it (true
    // when something changed). A colour outside the 16 and a width no button stands for stay
    // unless the user picks another.
    void LoadFrom(const TTraining& training);
    bool StoreTo(TTraining& training) const;

    void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                   const QColor& windowColor) override;

private:
    std::array<TShape*, 8> FShapes{};
    std::array<QRadioButton*, 8> FButtons{};
    QColor FDesignTextColor;
};

// The dialog made once and reused, with the main window's look.
TfrmChartOptions& ChartOptionsDialog();
