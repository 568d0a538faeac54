#include "analysis/ForceCurveWindow.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "foundation/files/ForceCurveBrowsing.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "platform/IniFiles.h"
#include "session/TrainingWindow.h"
#include "shell/MainWindow.h"
#include "widgets/ChartWidget.h"
#include "widgets/UiUtils.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusTipEvent>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QString kSection = QStringLiteral("ForceCurves");
const QString kPlay = QStringLiteral("VCR_PLAY");
const QString kStop = QStringLiteral("VCR_STOP");
constexpr int kStrokeContent = 5; // ContentKindNames: "Stroke"

// The stroke columns the grid fills under fixed force or length.
constexpr int kLengthColumn = 6;
constexpr int kEnergyColumn = 10;
constexpr int kPeakForceColumn = 14;
constexpr int kPeakForcePosColumn = 15;
constexpr int kRelPeakForcePosColumn = 16;

void SetHint(QWidget* w, const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    w->setToolTip(bar >= 0 ? hint.left(bar) : hint);
    w->setStatusTip(bar >= 0 ? hint.mid(bar + 1) : hint);
}

// An edit with its up-down in one control: over the arrows the up-down's hint, elsewhere the
// edit's, as tool tip and in the status bar.
class TUpDownHints : public QObject {
public:
    TUpDownHints(QSpinBox* box, const QString& editHint, const QString& upDownHint)
        : QObject(box), FBox(box), FEdit(editHint), FUpDown(upDownHint) {
        SetHint(box, editHint);
        box->setAttribute(Qt::WA_Hover);
        box->installEventFilter(this);
        // The pointer over the text is over the box's own edit.
        if (auto* text = box->findChild<QLineEdit*>()) {
            FText = text;
            text->setMouseTracking(true);
            text->installEventFilter(this);
        }
    }

    QString HintAt(const QPoint& pos) const {
        QStyleOptionSpinBox option;
        option.initFrom(FBox);
        option.frame = FBox->hasFrame();
        option.buttonSymbols = FBox->buttonSymbols();
        option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
        const QStyle::SubControl under = FBox->style()->hitTestComplexControl(QStyle::CC_SpinBox, &option, pos, FBox);
        return under == QStyle::SC_SpinBoxUp || under == QStyle::SC_SpinBoxDown ? FUpDown : FEdit;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == FText) {
            if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)
                ShowStatus(FEdit);
            return false;
        }
        if (event->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(event);
            QToolTip::showText(help->globalPos(), HintAt(help->pos()), FBox);
            return true;
        }
        if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverMove)
            ShowStatus(HintAt(static_cast<QHoverEvent*>(event)->position().toPoint()));
        return false;
    }

private:
    void ShowStatus(const QString& hint) {
        if (hint == FBox->statusTip())
            return;
        FBox->setStatusTip(hint);
        QStatusTipEvent tip(hint);
        QCoreApplication::sendEvent(FBox, &tip);
    }

    QSpinBox* FBox;
    QLineEdit* FText = nullptr;
    QString FEdit;
    QString FUpDown;
};

QToolButton* GlyphButton(QWidget* parent, QStyle::StandardPixmap glyph, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setIcon(parent->style()->standardIcon(glyph));
    b->setAutoRaise(false);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    SetHint(b, hint);
    return b;
}

void SetCell(QTableWidget* grid, int row, int column, const QString& text) {
    if (QTableWidgetItem* item = grid->item(row, column))
        item->setText(text);
    else
        grid->setItem(row, column, new QTableWidgetItem(text));
}

QColor ChartColor(const TfrmChart& window) {
    const TChartModel& model = window.FChart->Model();
    return model.BackClear ? window.palette().color(QPalette::Window) : ColorRefToQColor(model.BackColor);
}

} // namespace

// The grid's column 0 for the average rows below the training rows: the base draws the cell,
// this adds the average's legend line.
class TAverageLegendDelegate : public QStyledItemDelegate {
public:
    TAverageLegendDelegate(TfrmForceCurves* window, QAbstractItemDelegate* base)
        : QStyledItemDelegate(window), FWindow(window), FBase(base) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        FBase->paint(painter, option, index);
        if (index.column() != 0) return;
        const int row = index.row() + 1;
        int n = FWindow->ActiveTrainingCount();
        if (row <= n) return;
        const int count = TfrmChart::OpenTrainingCount();
        for (int k = 1; k <= kAverageCount; ++k) {
            const TTraining* avg = TfrmChart::TrainingRef(count + k - 1);
            if (!avg || !avg->Header.Active || ++n != row) continue;
            painter->save();
            painter->setBrush(option.widget ? option.widget->palette().color(QPalette::Button) : Qt::lightGray);
            TfrmChart::DrawLegendLine(*painter, option.rect, avg->Header.PenStyle, avg->Header.PenWidth,
                                      ColorRefToQColor(std::uint32_t(avg->Header.Color)));
            painter->restore();
            return;
        }
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return FBase->sizeHint(option, index);
    }

private:
    TfrmForceCurves* FWindow;
    QAbstractItemDelegate* FBase;
};

// ---------------------------------------------------------------------------------------------
// Creation

TfrmForceCurves::TfrmForceCurves(TMDIMain* owner) : TfrmChart(owner) {
    setWindowTitle(tr("Force Curves"));
    FSection = kSection;
    FSquare = true;
    FChart->setToolTip(tr("Force curves chart"));
    pnlTrainings->setMinimumWidth(230);
    ShiftDown = [] { return IsShiftDown(); };

    TChartModel& model = FChart->EditModel();
    model.Bottom.SetMinMax(0, 176);
    model.Bottom.Automatic = false;
    model.Bottom.ExactDateTime = false;
    model.Bottom.Increment = 10;
    model.Bottom.Title = QStringLiteral("Strokelength (cm)");
    model.Left.SetMinMax(0, 780);
    model.Left.Automatic = false;
    model.Left.ExactDateTime = false;
    model.Left.Increment = 77;
    model.Left.Title = QStringLiteral("Force (N)");
    model.Right.Visible = false;
    FChart->Refresh();

    const int columns = int(StrokeParameters.size());
    sgdData->setColumnCount(columns + 1);
    QStringList titles{QString()};
    for (int i = 0; i < columns; ++i)
        titles << StrokeParameterTitle(i);
    sgdData->setHorizontalHeaderLabels(titles);
    FitDataColumnsToTitles();
    sgdData->setItemDelegate(new TAverageLegendDelegate(this, sgdData->itemDelegate()));

    InitAverageRecords();
    CreateFixedControls();
    CreateBrowseControls();
    pnlBrowseIntervals->hide();
    cbxShowAll->hide();
    ArrangeFixedControls();
    ArrangeBrowseControls();
    SetPlayGlyph(true);

    SetDesignSize(565, 476);
}

TfrmForceCurves::~TfrmForceCurves() = default;

void TfrmForceCurves::CreateFixedControls() {
    cbxSquare = new QCheckBox(tr("Square"), FChart);
    cbxSquare->setChecked(FSquare);
    connect(cbxSquare, &QCheckBox::clicked, this, [this] {
        FSquare = cbxSquare->isChecked();
        pnlChartResize();
        ChartPlaced();
    });

    auto* panel = new QWidget(pnlTraining3);
    panel->setObjectName(QStringLiteral("pnlFixed"));
    pnlTraining3->layout()->addWidget(panel);
    new QGridLayout(panel);
    panel->layout()->setContentsMargins(4, 4, 4, 4);
    cbxForce = new QCheckBox(tr("Fixed force"), panel);
    SetHint(cbxForce, tr("Enable / disable fixed peakforce"));
    edtForce = new QSpinBox(panel);
    edtForce->setRange(0, 999);
    edtForce->setSingleStep(10);
    edtForce->setValue(550);
    new TUpDownHints(edtForce, tr("Fixed peakforce"), tr("Change fixed peakforce"));
    cbxLength = new QCheckBox(tr("Fixed length"), panel);
    SetHint(cbxLength, tr("Enable / disable fixed strokelength"));
    edtLength = new QSpinBox(panel);
    edtLength->setRange(0, 176);
    edtLength->setSingleStep(2);
    edtLength->setValue(150);
    new TUpDownHints(edtLength, tr("Fixed strokelength"), tr("Change fixed strokelength"));
    edtForce->setEnabled(false);
    edtLength->setEnabled(false);
    cbxShowAll = new QCheckBox(tr("Show all"), panel);

    connect(cbxForce, &QCheckBox::toggled, this, [this](bool on) {
        edtForce->setEnabled(on);
        clbTrainingsClick();
    });
    connect(cbxLength, &QCheckBox::toggled, this, [this](bool on) {
        edtLength->setEnabled(on);
        clbTrainingsClick();
    });
    connect(edtForce, &QSpinBox::valueChanged, this, [this] { clbTrainingsClick(); });
    connect(edtLength, &QSpinBox::valueChanged, this, [this] { clbTrainingsClick(); });
    pnlTraining3->installEventFilter(this);
}

void TfrmForceCurves::CreateBrowseControls() {
    pnlBrowseCurves = new QWidget(pnlTraining4);
    new QGridLayout(pnlBrowseCurves);
    pnlBrowseCurves->layout()->setContentsMargins(4, 2, 4, 2);
    rbtBrowseCurves = new QRadioButton(tr("Browse curves"), pnlBrowseCurves);
    rbtBrowseCurves->setAutoExclusive(false);
    btbFirst = GlyphButton(pnlBrowseCurves, QStyle::SP_MediaSkipBackward,
                           tr("First|Show first curve of current training"));
    btbPrevious = GlyphButton(pnlBrowseCurves, QStyle::SP_MediaSeekBackward,
                              tr("Previous|Show previous curve of current training"));
    metCurve = new QLineEdit(pnlBrowseCurves);
    // Every digit optional: "12" is a whole number too.
    metCurve->setInputMask(QStringLiteral("000; "));
    metCurve->setMaxLength(3);
    metCurve->setEnabled(false);
    metCurve->setAlignment(Qt::AlignRight);
    metCurve->setMinimumWidth(metCurve->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
    SetHint(metCurve, tr("Curve|Change curve number of current training"));
    btbNext = GlyphButton(pnlBrowseCurves, QStyle::SP_MediaSeekForward,
                          tr("Next|Show next curve of current training"));
    btbLast = GlyphButton(pnlBrowseCurves, QStyle::SP_MediaSkipForward,
                          tr("Last|Show last curve of current training"));
    btbDelete = GlyphButton(pnlBrowseCurves, QStyle::SP_TrashIcon, tr("Delete|Delete curve of current training"));
    sbrCurves = new QScrollBar(Qt::Horizontal, pnlBrowseCurves);
    sbrCurves->setPageStep(1);
    sbrCurves->setRange(0, 0);
    SetHint(sbrCurves, tr("Browse|Browse through curves of current training"));
    btbPlay = GlyphButton(pnlBrowseCurves, QStyle::SP_MediaPlay, tr("Play|Play animation"));

    pnlBrowseAverage = new QWidget(pnlTraining4);
    auto* avgLayout = new QHBoxLayout(pnlBrowseAverage);
    avgLayout->setContentsMargins(4, 2, 4, 2);
    rbtBrowseAverage = new QRadioButton(tr("Session average"), pnlBrowseAverage);
    rbtBrowseAverage->setAutoExclusive(false);
    avgLayout->addWidget(rbtBrowseAverage);

    pnlBrowseIntervals = new QWidget(pnlTraining4);
    auto* intLayout = new QHBoxLayout(pnlBrowseIntervals);
    intLayout->setContentsMargins(4, 2, 4, 2);
    sbrIntervals = new QScrollBar(Qt::Horizontal, pnlBrowseIntervals);
    sbrIntervals->setRange(0, 0);
    intLayout->addWidget(sbrIntervals);

    for (QWidget* w : {pnlBrowseCurves, pnlBrowseAverage, pnlBrowseIntervals})
        pnlTraining4->layout()->addWidget(w);

    tmrPlay = new QTimer(this);
    tmrPlay->setInterval(100);

    connect(rbtBrowseCurves, &QRadioButton::clicked, this, [this] { SetCurveMode(kCurveModeSingle); });
    connect(rbtBrowseAverage, &QRadioButton::clicked, this, [this] { SetCurveMode(kCurveModeAverage); });
    connect(btbFirst, &QToolButton::clicked, this, [this] { btbFirstClick(); });
    connect(btbPrevious, &QToolButton::clicked, this, [this] { btbPreviousClick(); });
    connect(btbNext, &QToolButton::clicked, this, [this] { btbNextClick(); });
    connect(btbLast, &QToolButton::clicked, this, [this] { btbLastClick(); });
    connect(btbDelete, &QToolButton::clicked, this, [this] { btbDeleteClick(); });
    connect(btbPlay, &QToolButton::clicked, this, [this] { btbPlayClick(); });
    connect(metCurve, &QLineEdit::editingFinished, this, [this] { metCurveExit(); });
    connect(sbrCurves, &QScrollBar::valueChanged, this, [this](int position) { sbrCurvesScroll(position); });
    connect(tmrPlay, &QTimer::timeout, this, [this] { tmrPlayTimer(); });
    pnlTraining4->installEventFilter(this);
}

// Force pair left, length pair right in one row from 300 pixels on, otherwise one pair a row.
void TfrmForceCurves::ArrangeFixedControls() {
    auto* grid = static_cast<QGridLayout*>(cbxForce->parentWidget()->layout());
    const bool wide = pnlTraining3->width() >= 300;
    for (QWidget* w : {static_cast<QWidget*>(cbxForce), static_cast<QWidget*>(edtForce),
                       static_cast<QWidget*>(cbxLength), static_cast<QWidget*>(edtLength)})
        grid->removeWidget(w);
    grid->addWidget(cbxForce, 0, 0);
    grid->addWidget(edtForce, 0, 1);
    grid->addWidget(cbxLength, wide ? 0 : 1, wide ? 2 : 0);
    grid->addWidget(edtLength, wide ? 0 : 1, wide ? 3 : 1);
}

// The buttons share one row from 400 pixels on; below that First, Previous, the number, Next and
// Last take a row of their own, each a fifth of it.
void TfrmForceCurves::ArrangeBrowseControls() {
    auto* grid = static_cast<QGridLayout*>(pnlBrowseCurves->layout());
    const bool wide = pnlTraining4->width() >= 400;
    const QList<QWidget*> all{rbtBrowseCurves, btbFirst, btbPrevious, metCurve, btbNext,
                              btbLast,         btbDelete, btbPlay,    sbrCurves};
    for (QWidget* w : all)
        grid->removeWidget(w);
    for (int c = 0; c < 8; ++c)
        grid->setColumnStretch(c, 0);
    if (wide) {
        int c = 0;
        for (QWidget* w : all.mid(0, 8))
            grid->addWidget(w, 0, c++);
        grid->addWidget(sbrCurves, 1, 1, 1, 7);
    } else {
        grid->addWidget(rbtBrowseCurves, 0, 0, 1, 3);
        grid->addWidget(btbDelete, 0, 3);
        grid->addWidget(btbPlay, 0, 4);
        int c = 0;
        for (QWidget* w : std::initializer_list<QWidget*>{btbFirst, btbPrevious, metCurve, btbNext, btbLast}) {
            grid->setColumnStretch(c, 1);
            grid->addWidget(w, 1, c++);
        }
        grid->addWidget(sbrCurves, 2, 0, 1, 5);
    }
}

void TfrmForceCurves::ChartPlaced() {
    FChart->FitLengthLabelStep();
    cbxSquare->adjustSize();
    cbxSquare->move(8, FChart->height() - cbxSquare->height() - 8);
    cbxSquare->raise();
}

bool TfrmForceCurves::eventFilter(QObject* watched, QEvent* event) {
    const bool result = TfrmChart::eventFilter(watched, event);
    if (event->type() == QEvent::Resize) {
        if (watched == pnlChart)
            ChartPlaced();
        else if (watched == pnlTraining3)
            ArrangeFixedControls();
        else if (watched == pnlTraining4)
            ArrangeBrowseControls();
    }
    return result;
}

bool TfrmForceCurves::CloseQuery() {
    StopPlay();
    const bool result = TfrmChart::CloseQuery();
    if (frmMain && frmMain->frmForceCurves == this) frmMain->frmForceCurves = nullptr;
    return result;
}

void TfrmForceCurves::InitAverageRecords() {
    for (int k = 1; k <= kAverageCount; ++k)
        if (frmMain) InitAverageRecord(frmMain->SpareTraining(-k), k);
}

// ---------------------------------------------------------------------------------------------
// Registry helpers

std::vector<const TTraining*> TfrmForceCurves::OpenTrainings() const {
    std::vector<const TTraining*> trainings;
    const int count = OpenTrainingCount();
    trainings.reserve(std::size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        if (const TTraining* t = TrainingRef(i)) trainings.push_back(t);
    return trainings;
}

int TfrmForceCurves::ActiveTrainingCount() const {
    int n = 0;
    for (const TTraining* t : OpenTrainings())
        n += t->Header.Active ? 1 : 0;
    return n;
}

TTraining* TfrmForceCurves::SelectedRecord(bool* isAverage) const {
    const int index = SelectedIndex();
    if (isAverage) *isAverage = index >= OpenTrainingCount();
    return index >= 0 ? TrainingRef(index) : nullptr;
}

TCurveScaling TfrmForceCurves::Scaling() const {
    return {cbxForce->isChecked(), double(edtForce->value()), cbxLength->isChecked(), double(edtLength->value())};
}

// ---------------------------------------------------------------------------------------------
// The list

QStringList TfrmForceCurves::TrainingItemTitles() const {
    QStringList titles = TfrmChart::TrainingItemTitles();
    const int count = OpenTrainingCount();
    for (int k = 1; k <= kAverageCount; ++k) {
        const TTraining* avg = TrainingRef(count + k - 1);
        titles << (avg ? Cp1252ToQString(avg->Header.Title) : QString::fromLatin1(AverageTitles[std::size_t(k - 1)]));
    }
    return titles;
}

void TfrmForceCurves::FillTrainingList(bool selectFirst) {
    // The base lists the averages too and checks every item from its record.
    TfrmChart::FillTrainingList(selectFirst);
    if (SelectedIndex() < 0 && clbTrainings->count() > 0) SelectIndex(0);
    clbTrainingsClick();
}

void TfrmForceCurves::RefreshTrainings() {
    TfrmChart::RefreshTrainings();
    if (Closing) return;
    // Only the averages are left: nothing to average.
    if (clbTrainings->count() == kAverageCount && OpenTrainingCount() == 0)
        Close();
    else
        clbTrainingsClick();
}

void TfrmForceCurves::clbTrainingsClick() {
    TfrmChart::clbTrainingsClick();
    const int count = OpenTrainingCount();
    TBrowseControls c;
    if (clbTrainings->count() == count + kAverageCount) {
        const QSignalBlocker blocker(clbTrainings);
        for (int i = 0; i < clbTrainings->count(); ++i)
            if (const TTraining* t = TrainingRef(i))
                clbTrainings->item(i)->setCheckState(t->Header.Active ? Qt::Checked : Qt::Unchecked);
        bool isAverage = false;
        const TTraining* selected = SelectedRecord(&isAverage);
        c = BrowseControlsFor(selected, isAverage);
    }

    // Set from the record: none of the controls' own handlers may run.
    const QSignalBlocker blockCurve(metCurve);
    const QSignalBlocker blockScroll(sbrCurves);
    rbtBrowseCurves->setEnabled(c.BrowseCurvesEnabled);
    rbtBrowseCurves->setChecked(c.BrowseCurvesChecked);
    btbFirst->setEnabled(c.Back);
    btbPrevious->setEnabled(c.Back);
    metCurve->setEnabled(c.StepsEnabled());
    // A number being typed stays until it is entered, whatever redraws meanwhile (a session's
    // strokes do at every recovery).
    if (!metCurve->hasFocus() || !metCurve->isModified())
        metCurve->setText(QString::number(c.Number));
    btbNext->setEnabled(c.Forward);
    btbLast->setEnabled(c.Forward);
    btbDelete->setEnabled(c.DeleteEnabled);
    const int top = std::max(c.Top, c.Low);
    if (top < sbrCurves->maximum()) sbrCurves->setRange(0, 0);
    sbrCurves->setRange(c.Low, top);
    sbrCurves->setValue(c.Number);
    sbrCurves->setEnabled(c.StepsEnabled());
    btbPlay->setEnabled(c.StepsEnabled());
    SetPlayGlyph(!tmrPlay->isActive());
    rbtBrowseAverage->setEnabled(c.AverageEnabled);
    rbtBrowseAverage->setChecked(c.AverageChecked);
    {
        const QSignalBlocker blockIntervals(sbrIntervals);
        sbrIntervals->setEnabled(c.IntervalsEnabled);
        sbrIntervals->setRange(0, 0);
    }

    BuildCurveSeries();
    FillDataGrid();
}

void TfrmForceCurves::clbTrainingsClickCheck(QListWidgetItem* item) {
    const int index = item ? clbTrainings->row(item) : -1;
    if (index < 0) return;
    if (index >= OpenTrainingCount()) {
        if (TTraining* avg = TrainingRef(index)) avg->Header.Active = item->checkState() == Qt::Checked ? 1 : 0;
        if (frmMain) frmMain->RefreshViews();
    } else {
        TfrmChart::clbTrainingsClickCheck(item);
    }
    // The main window's broadcast redraws this window only while it knows it.
    if (!frmMain || frmMain->frmForceCurves != this) clbTrainingsClick();
}

void TfrmForceCurves::clbTrainingsDblClick() {
    TfrmChart::clbTrainingsDblClick();
    if (!frmMain || frmMain->frmForceCurves != this) clbTrainingsClick();
}

void TfrmForceCurves::DrawExtraItem(QPainter& painter, const QRect& rect, int index, bool selected) {
    const QPalette& pal = clbTrainings->palette();
    painter.fillRect(rect, selected ? pal.color(QPalette::Highlight) : ListColor());
    const TTraining* avg = TrainingRef(index);
    if (!avg) return;
    painter.setPen(selected ? pal.color(QPalette::HighlightedText) : ListFontColor());
    painter.setFont(clbTrainings->font());
    const QRect textRect(rect.left() + 18, rect.top() + 2, rect.width() - 18 - 34, rect.height() - 2);
    painter.save();
    painter.setClipRect(textRect);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Cp1252ToQString(avg->Header.Title));
    painter.restore();
    const int right = rect.right() + 1;
    const int bottom = rect.bottom() + 1;
    painter.fillRect(QRect(QPoint(right - 25, rect.top() + 2), QPoint(right - 7, bottom - 3)), ChartColor(*this));
    const int middle = rect.top() + rect.height() / 2;
    painter.setPen(QPen(ColorRefToQColor(std::uint32_t(avg->Header.Color)), std::max(1, int(avg->Header.PenWidth)),
                        ToQtPenStyle(avg->Header.PenStyle)));
    painter.drawLine(right - 28, middle, right - 4, middle);
    painter.setPen(QPen(painter.pen().color(), 1, Qt::SolidLine));
}

// ---------------------------------------------------------------------------------------------
// Chart and grid

void TfrmForceCurves::BuildCurveSeries() {
    TChartModel& model = FChart->EditModel();
    model.FreeAllSeries();
    const TCurveScaling s = Scaling();
    const std::vector<const TTraining*> trainings = OpenTrainings();
    for (const TTraining* t : trainings)
        CreateForceCurveSeries(model, *t, s.FixedForce, s.FixedLength, t->ShowAllCurves != 0, s.Force, s.Length);
    const int count = int(trainings.size());
    for (int k = kAverageCount; k >= 1; --k) {
        TTraining* avg = TrainingRef(count + k - 1);
        if (!avg) continue;
        ComputeAverageCurve(k, trainings, *avg);
        CreateForceCurveSeries(model, *avg, s.FixedForce, s.FixedLength, false, s.Force, s.Length);
    }
    FChart->Refresh();
}

void TfrmForceCurves::FillDataGrid() {
    FillDataGridHeader();
    int row = 0;
    const int count = OpenTrainingCount();
    for (int i = 0; i < count; ++i) {
        const TTraining* t = TrainingRef(i);
        if (!t || !t->Header.Active) continue;
        FillCurveRow(*t, i, ++row);
    }
    for (int k = 1; k <= kAverageCount; ++k) {
        const TTraining* avg = TrainingRef(count + k - 1);
        if (!avg || !avg->Header.Active) continue;
        ++row;
        if (row > 1) sgdData->setRowCount(row);
        FillCurveRow(*avg, -k, row);
    }
    if (row == 0)
        for (int c = 0; c < sgdData->columnCount(); ++c)
            SetCell(sgdData, 0, c, QString());
}

void TfrmForceCurves::FillCurveRow(const TTraining& record, int index, int row) {
    const int r = row - 1; // the title row is the grid's header
    TStgStrokeData stroke;
    if (const TShownCurve shown = ShownCurve(record)) stroke = *shown.Stroke;
    SetCell(sgdData, r, 0, index >= 0 ? GetTrainingCaption(index) : Cp1252ToQString(record.Header.Title));
    const TCurveScaling s = Scaling();
    const bool plain = !s.FixedForce && !s.FixedLength;
    const int columns = int(StrokeParameters.size());
    for (int i = 0; i < columns; ++i)
        SetCell(sgdData, r, i + 1, plain ? FormatStrokeParameter(stroke, i, record.Ini) : QString());
    const TScaledStrokeValues v = ScaleStrokeValues(stroke, s);
    const std::array<std::pair<int, double>, 5> cells{{{kLengthColumn, v.Length},
                                                       {kEnergyColumn, v.Energy},
                                                       {kPeakForceColumn, v.PeakForce},
                                                       {kPeakForcePosColumn, v.PeakForcePos},
                                                       {kRelPeakForcePosColumn, v.RelPeakForcePos}}};
    for (const auto& [column, value] : cells)
        SetCell(sgdData, r, column + 1, FormatParameterValue(StrokeParameterFormat(column), value));
}

// ---------------------------------------------------------------------------------------------
// Browsing

void TfrmForceCurves::StopPlay() {
    if (!tmrPlay->isActive()) return;
    tmrPlay->stop();
    SetPlayGlyph(true);
}

void TfrmForceCurves::SetPlayGlyph(bool play) {
    FPlayGlyph = play ? kPlay : kStop;
    btbPlay->setIcon(style()->standardIcon(play ? QStyle::SP_MediaPlay : QStyle::SP_MediaStop));
}

void TfrmForceCurves::ApplyToTrainings(const std::function<void(TTraining&)>& step) {
    StopPlay();
    if (ShiftDown && ShiftDown()) {
        const int count = OpenTrainingCount();
        for (int i = 0; i < count; ++i)
            if (TTraining* t = TrainingRef(i)) step(*t);
    } else if (TTraining* t = SelectedRecord()) {
        step(*t);
    }
    clbTrainingsClick();
}

void TfrmForceCurves::SetCurveMode(int mode) {
    StopPlay();
    rbtBrowseCurves->setChecked(mode == kCurveModeSingle);
    rbtBrowseAverage->setChecked(mode == kCurveModeAverage);
    if (SelectedIndex() < 0) return;
    ApplyToTrainings([mode](TTraining& t) { t.Header.CurveMode = std::uint8_t(mode); });
}

void TfrmForceCurves::btbFirstClick() {
    ApplyToTrainings([](TTraining& t) { BrowseFirst(t); });
}

void TfrmForceCurves::btbPreviousClick() {
    ApplyToTrainings([](TTraining& t) { BrowsePrevious(t); });
}

void TfrmForceCurves::btbNextClick() {
    ApplyToTrainings([](TTraining& t) { BrowseNext(t); });
}

void TfrmForceCurves::btbLastClick() {
    ApplyToTrainings([](TTraining& t) { BrowseLast(t); });
}

void TfrmForceCurves::metCurveExit() {
    // The message box below takes the focus, which ends the editing once more.
    if (FInCurveExit) return;
    FInCurveExit = true;
    const QString text = metCurve->text().trimmed();
    metCurve->setModified(false);  // entered: the redraw shows the number as it is now
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok) {
        StopPlay();
        ShowMessageBox(this, QMessageBox::Critical, tr("'%1' is not a valid integer value").arg(text));
    } else {
        ApplyToTrainings([number](TTraining& t) { SetCurveNumber(t, number); });
    }
    FInCurveExit = false;
}

void TfrmForceCurves::sbrCurvesScroll(int position) {
    ApplyToTrainings([position](TTraining& t) { SetCurveNumber(t, position); });
}

void TfrmForceCurves::btbPlayClick() {
    if (tmrPlay->isActive())
        tmrPlay->stop();
    else
        tmrPlay->start();
    SetPlayGlyph(!tmrPlay->isActive());
}

void TfrmForceCurves::tmrPlayTimer() {
    TTraining* t = SelectedRecord();
    if (!t || !PlayStep(*t)) StopPlay();
    clbTrainingsClick();
}

void TfrmForceCurves::btbDeleteClick() {
    StopPlay();
    const int index = SelectedIndex();
    if (index < 0 || index >= OpenTrainingCount()) return;
    TTraining* t = TrainingRef(index);
    if (!t || !DeleteCurrentCurve(*t)) return;
    if (frmMain)
        if (TfrmTraining* window = frmMain->TrainingWindow(index)) {
            window->RefreshForceCurves();
            window->RefreshHeader();
        }
    if (frmMain && frmMain->frmForceCurves == this)
        frmMain->RefreshViews();
    else
        clbTrainingsClick();
}

bool TfrmForceCurves::ExportStrokeFile() {
    const int index = SelectedIndex();
    if (index < 0 || clbTrainings->item(index)->checkState() != Qt::Checked) {
        ShowMessageBox(this, QMessageBox::Information, tr("Please select an active curve to export"));
        return false;
    }
    const TTraining* record = TrainingRef(index);
    if (!record) return false;
    const TTraining source = *record;

    QString name = TrainingDisplayName(source);
    const QFileInfo info(name);
    if (!info.suffix().isEmpty()) name.chop(info.suffix().size() + 1);
    const QString folder = frmMain ? QFileInfo(frmMain->LastDir + QStringLiteral("x")).path() : QString();
    QString fileName;
    if (AskExportFileName) {
        fileName = AskExportFileName(folder, name);
    } else {
        QFileDialog dialog(this, tr("Export stroke file"), folder,
                           tr("Stroke files (*.str);;All files (*)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("str"));
        dialog.selectFile(name);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            fileName = dialog.selectedFiles().constFirst();
    }
    if (fileName.isEmpty()) return false;

    TTraining target;
    BuildStrokeExport(source, Scaling(), target);
    if (QString why; !SaveTrainingAs(fileName, target, kStrokeContent, why)) {
        ShowMessageBox(this, QMessageBox::Critical,
                       tr("Could not write the file %1.").arg(fileName) + QStringLiteral("\n") + why);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Picture, colours, settings

void TfrmForceCurves::UpdatePictureInfo() {
    const int h = std::abs(int(std::nearbyint(1.5 * QFontInfo(pnlTraining1->font()).pixelSize())));
    int height = 1;
    FInfoText.clear();
    const TCurveScaling s = Scaling();
    if (s.FixedForce) {
        height = h;
        FInfoText = QStringLiteral("Fixed force : %1 N").arg(edtForce->value());
    }
    if (s.FixedLength) {
        if (!FInfoText.isEmpty()) FInfoText += QLatin1Char('\r');
        height += h;
        FInfoText += QStringLiteral("Fixed length : %1 cm").arg(edtLength->value());
    }
    pnlTraining1->setFixedHeight(height);
    QString shown = FInfoText;
    lblInfo->setText(shown.replace(QLatin1Char('\r'), QLatin1Char('\n')));
}

void TfrmForceCurves::SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                                const QColor& windowColor) {
    TfrmChart::SetColors(font, textColor, backColor, windowColor);
    for (QWidget* w : {static_cast<QWidget*>(metCurve), static_cast<QWidget*>(edtForce),
                       static_cast<QWidget*>(edtLength)}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Base, windowColor);
        SetEnabledColor(pal, QPalette::Text, textColor);
        w->setPalette(pal);
        w->setFont(font);
    }
    FillDataGrid();  // the base's header step left only the trainings' captions
    update();
}

void TfrmForceCurves::LoadSettings(const QString& iniFileName, int placement) {
    TfrmChart::LoadSettings(iniFileName, placement);
    bool fixedForce = false;
    int force = 550;
    bool fixedLength = false;
    int length = 150;
    if (QFileInfo::exists(iniFileName)) {
        TIniFile ini(iniFileName);
        fixedForce = ini.ReadBool(kSection, QStringLiteral("FixedForce"), fixedForce);
        force = ini.ReadInteger(kSection, QStringLiteral("Force"), force);
        fixedLength = ini.ReadBool(kSection, QStringLiteral("FixedLength"), fixedLength);
        length = ini.ReadInteger(kSection, QStringLiteral("Length"), length);
        FSquare = ini.ReadBool(kSection, QStringLiteral("Square"), FSquare);
    }
    {
        // Values outside the ranges are brought into them by the spin boxes.
        const QSignalBlocker b1(cbxForce), b2(edtForce), b3(cbxLength), b4(edtLength);
        cbxForce->setChecked(fixedForce);
        edtForce->setValue(force);
        edtForce->setEnabled(fixedForce);
        cbxLength->setChecked(fixedLength);
        edtLength->setValue(length);
        edtLength->setEnabled(fixedLength);
    }
    cbxSquare->setChecked(FSquare);
    pnlChartResize();
    ChartPlaced();
}

void TfrmForceCurves::SaveSettings(const QString& iniFileName) {
    TfrmChart::SaveSettings(iniFileName);
    if (FSection.isEmpty() || !IsFileWritable(iniFileName)) return;
    TIniFile ini(iniFileName);
    ini.WriteBool(kSection, QStringLiteral("FixedForce"), cbxForce->isChecked());
    ini.WriteInteger(kSection, QStringLiteral("Force"), edtForce->value());
    ini.WriteBool(kSection, QStringLiteral("FixedLength"), cbxLength->isChecked());
    ini.WriteInteger(kSection, QStringLiteral("Length"), edtLength->value());
    ini.WriteBool(kSection, QStringLiteral("Square"), FSquare);
    ini.UpdateFile();
}

// ---------------------------------------------------------------------------------------------

TfrmForceCurves* OpenForceCurveWindow(TfrmMain* main) {
    if (!main) return nullptr;
    if (auto* open = qobject_cast<TfrmForceCurves*>(main->frmForceCurves.data())) {
        main->ShowChild(open);
        return open;
    }
    auto* window = new TfrmForceCurves(main);
    main->frmForceCurves = window;
    window->tmrPlay->setInterval(60000 / std::max(1, main->CurvesPerMinute));
    // Shown at once, as it is made: its first show clears the list's selection before the
    // list is filled.
    ChildFrame(window)->show();
    window->LoadSettings(main->GetIniFileName(), main->TrainingViewMode);
    window->SetColors(main->OptionsFont, main->TextColor, main->BackColor, main->WindowColor);
    window->FillTrainingList(true);
    return window;
}
