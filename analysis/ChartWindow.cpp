#include "analysis/ChartWindow.h"

#include "foundation/core/AppUtils.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "platform/IniFiles.h"
#include "platform/SystemProbe.h"
#include "session/TrainingWindow.h"
#include "shell/ChartOptionsDialog.h"
#include "shell/MainWindow.h"
#include "shell/SelectColumnsDialog.h"
#include "widgets/ChartWidget.h"
#include "widgets/GridCellDelegate.h"
#include "widgets/UiUtils.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr int kCaptionLeft = 18;      // the caption starts right of the check box
constexpr int kCaptionRightGap = 34;  // room for the legend on the right
constexpr int kDataMin = 100;         // splitter limits
constexpr int kTopReserve = 225;
constexpr int kTrainingsMin = 160;
const QString kChartCaption = QStringLiteral("Chart");

int HighOf(const TTraining& training)
{
    return int(training.StrokeData.size()) - 1;
}

TChartFont ChartFontOf(const QFont& font, const QColor& color)
{
    TChartFont f;
    f.Name = font.family();
    if (font.pixelSize() > 0)
        f.Height = -font.pixelSize();
    else
        f.Height = int(std::lround(font.pointSizeF()));
    f.Color = QColorToColorRef(color);
    f.Bold = font.bold();
    f.Italic = font.italic();
    return f;
}

// The training list: items drawn by the window, the check box toggled by a click on it or by
// the space key.
class TTrainingListDelegate : public QStyledItemDelegate {
public:
    TTrainingListDelegate(TfrmChart* window, std::function<void(QPainter&, const QRect&, int, bool)> draw,
                          std::function<int()> height)
        : QStyledItemDelegate(window), FDraw(std::move(draw)), FHeight(std::move(height))
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        FDraw(*painter, option.rect, index.row(), selected);
        painter->restore();
        // The check box left of the caption.
        QStyleOptionButton box;
        const int side = std::min(13, option.rect.height() - 2);
        box.rect = QRect(option.rect.left() + 2, option.rect.top() + (option.rect.height() - side) / 2, side, side);
        box.state = QStyle::State_Enabled |
                    (index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : nullptr;
        if (style)
            style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(option.rect.width(), std::max(FHeight(), 1));
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        if (!(index.flags() & Qt::ItemIsUserCheckable))
            return false;
        bool toggle = false;
        if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool onBox = mouse->button() == Qt::LeftButton &&
                               mouse->position().x() < option.rect.left() + kCaptionLeft;
            if (!onBox)
                return false;
            if (event->type() == QEvent::MouseButtonDblClick)
                return true;  // a double click on the box is two clicks, not a double click
            toggle = true;
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            toggle = key == Qt::Key_Space || key == Qt::Key_Select;
        }
        if (!toggle)
            return false;
        const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }

private:
    std::function<void(QPainter&, const QRect&, int, bool)> FDraw;
    std::function<int()> FHeight;
};

// The data grid: fixed column 0 with the legend line of the row's training, text 2 pixels in.
class TDataGridDelegate : public TGridCellDelegate {
public:
    explicit TDataGridDelegate(TfrmChart* window) : TGridCellDelegate(window), FWindow(window) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        TGridCellDelegate::paint(painter, option, index);
        painter->save();
        if (index.column() == 0) {
            const QColor back = CellBackground(option, index);
            QColor colour = Qt::black;
            int width = 0;
            int style = kPenClear;
            if (const TTraining* t = TfrmChart::ActiveTraining(index.row() + 1)) {
                colour = ColorRefToQColor(std::uint32_t(t->Header.Color));
                width = t->Header.PenWidth;
                style = t->Header.PenStyle;
            }
            painter->setBrush(back);
            TfrmChart::DrawLegendLine(*painter, option.rect, style, width, colour);
        }
        painter->restore();
    }

private:
    TfrmChart* FWindow;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Creation

TfrmChart::TfrmChart(TMDIMain* owner) : TMDIChild(owner)
{
    setAttribute(Qt::WA_DeleteOnClose, false);  // the sub-window owns it
    setWindowTitle(kChartCaption);
    setMinimumSize(250, 250);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, GetDialogColor());
    setPalette(pal);
    setAutoFillBackground(true);
    FontColor = Qt::black;
    CreateControls();
    CreateActions();
    CreateChart();
    SetDesignSize(489, 313);
}

TfrmChart::~TfrmChart() = default;

void TfrmChart::CreateControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    splData = new QSplitter(Qt::Vertical, this);
    splData->setChildrenCollapsible(false);
    layout->addWidget(splData, 1);
    StatusBar = new QStatusBar(this);
    StatusBar->hide();
    layout->addWidget(StatusBar);

    pnlTop = new QWidget(splData);
    pnlTop->setMinimumHeight(150);
    auto* topLayout = new QHBoxLayout(pnlTop);
    topLayout->setContentsMargins(0, 0, 0, 0);
    splTrainings = new QSplitter(Qt::Horizontal, pnlTop);
    splTrainings->setChildrenCollapsible(false);
    topLayout->addWidget(splTrainings);

    pnlChart = new QWidget(splTrainings);
    pnlChart->setMinimumWidth(100);
    pnlChart->installEventFilter(this);

    pnlTrainings = new QWidget(splTrainings);
    pnlTrainings->setMinimumWidth(150);
    auto* trainingsLayout = new QVBoxLayout(pnlTrainings);
    trainingsLayout->setContentsMargins(4, 4, 4, 4);
    trainingsLayout->setSpacing(0);

    pnlList = new QWidget(pnlTrainings);
    auto* listLayout = new QVBoxLayout(pnlList);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    pnlTitle = new QLabel(tr("Training sessions"), pnlList);
    pnlTitle->setFixedHeight(18);
    pnlTitle->setAlignment(Qt::AlignCenter);
    listLayout->addWidget(pnlTitle);
    clbTrainings = new QListWidget(pnlList);
    clbTrainings->setToolTip(tr("Training sessions list"));
    clbTrainings->setStatusTip(tr("Check training session to activate"));
    clbTrainings->setUniformItemSizes(true);
    clbTrainings->setItemDelegate(new TTrainingListDelegate(
        this,
        [this](QPainter& painter, const QRect& rect, int index, bool selected) {
            if (index < OpenTrainingCount())
                DrawTrainingItem(painter, rect, index, selected);
            else
                DrawExtraItem(painter, rect, index, selected);
        },
        [this] { return 2 * FontSize(); }));
    listLayout->addWidget(clbTrainings, 1);
    trainingsLayout->addWidget(pnlList, 1);

    pnlTraining1 = new QWidget(pnlTrainings);
    auto* infoLayout = new QVBoxLayout(pnlTraining1);
    infoLayout->setContentsMargins(2, 2, 2, 2);
    lblInfo = new QLabel(pnlTraining1);
    lblInfo->setWordWrap(true);
    infoLayout->addWidget(lblInfo);
    pnlTraining1->hide();
    trainingsLayout->addWidget(pnlTraining1);
    // Empty in the base: the kinds put their controls into these layouts.
    for (QWidget** panel : {&pnlTraining2, &pnlTraining3, &pnlTraining4}) {
        *panel = new QWidget(pnlTrainings);
        auto* panelLayout = new QVBoxLayout(*panel);
        panelLayout->setContentsMargins(0, 0, 0, 0);
        trainingsLayout->addWidget(*panel);
    }

    splTrainings->addWidget(pnlChart);
    splTrainings->addWidget(pnlTrainings);
    splTrainings->setStretchFactor(0, 1);
    splTrainings->setStretchFactor(1, 0);
    splTrainings->handle(1)->setToolTip(tr("Resize chart"));
    splTrainings->handle(1)->setStatusTip(tr("Left-click and drag to resize chart"));
    splTrainings->setSizes({489 - 170, 170});

    pnlData = new QWidget(splData);
    auto* dataLayout = new QVBoxLayout(pnlData);
    dataLayout->setContentsMargins(4, 4, 4, 4);
    sgdData = new QTableWidget(pnlData);
    sgdData->setToolTip(tr("Data"));
    sgdData->verticalHeader()->hide();
    sgdData->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    sgdData->horizontalHeader()->setDefaultSectionSize(64);
    sgdData->horizontalHeader()->setMinimumSectionSize(0);
    sgdData->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    sgdData->horizontalHeader()->setHighlightSections(false);
    sgdData->verticalHeader()->setMinimumSectionSize(1);
    sgdData->setShowGrid(true);
    sgdData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgdData->setItemDelegate(new TDataGridDelegate(this));
    sgdData->setContextMenuPolicy(Qt::NoContextMenu);
    SetGridKeys(sgdData);
    sgdData->setRowCount(1);
    dataLayout->addWidget(sgdData);

    splData->addWidget(pnlTop);
    splData->addWidget(pnlData);
    splData->setStretchFactor(0, 1);
    splData->setStretchFactor(1, 0);
    splData->handle(1)->setToolTip(tr("Resize bottom area"));
    splData->handle(1)->setStatusTip(tr("Left-click and drag to resize bottom area"));
    splData->setSizes({313 - FDataHeight, FDataHeight});

    connect(splData, &QSplitter::splitterMoved, this, [this] { splDataMoved(); });
    connect(splTrainings, &QSplitter::splitterMoved, this, [this] {
        int width = pnlTrainings->width();
        if (!splTrainingsCanResize(width))
            splTrainings->setSizes({std::max(splTrainings->width() - splTrainings->handleWidth() - width, 1), width});
    });
    connect(clbTrainings, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!FFilling)
            clbTrainingsClickCheck(item);
    });
    // A mouse press makes the item current before it selects it: the redraw waits for the
    // selection, which keys, clicks and code all end with.
    connect(clbTrainings, &QListWidget::itemSelectionChanged, this, [this] {
        if (!FFilling)
            clbTrainingsClick();
    });
    connect(clbTrainings, &QListWidget::itemDoubleClicked, this, [this] { clbTrainingsDblClick(); });
}

void TfrmChart::CreateActions()
{
    auto add = [this](const QString& text, const QString& hint) {
        auto* a = new QAction(text, this);
        const qsizetype bar = hint.indexOf(QLatin1Char('|'));
        a->setToolTip(bar >= 0 ? hint.left(bar) : hint);
        a->setStatusTip(bar >= 0 ? hint.mid(bar + 1) : hint);
        return a;
    };
    TrainingActive = add(tr("&Active"), tr("Active|Mark training session 'Active'"));
    TrainingActive->setCheckable(true);
    ChartOptions = add(tr("&Chart options..."), tr("Options|Set chart options"));
    OpenTraining = add(tr("&Open training"), tr("Open training|Open training window"));
    OpenTraining->setVisible(true);
    connect(TrainingActive, &QAction::triggered, this, [this] { TrainingActiveExecute(); });
    connect(ChartOptions, &QAction::triggered, this, [this] { ChartOptionsExecute(); });
    connect(OpenTraining, &QAction::triggered, this, [this] { OpenTrainingExecute(); });

    pmnTrainings = new QMenu(this);
    pmnTrainings->addAction(TrainingActive);
    pmnTrainings->addAction(ChartOptions);
    pmnTrainings->addAction(OpenTraining);
    pmnTrainings->setDefaultAction(ChartOptions);
    connect(pmnTrainings, &QMenu::aboutToShow, this, [this] { TrainingActiveUpdate(); });
    clbTrainings->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(clbTrainings, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pmnTrainings->popup(clbTrainings->viewport()->mapToGlobal(pos)); });

    CopyDataAll = add(tr("Copy &All"), tr("Copy data + headers to the clipboard"));
    CopyDataData = add(tr("Copy &Data"), tr("Copy data only to the clipboard (no headers)"));
    CopyDataRow = add(tr("Copy &Row"), tr("Copy current row to the clipboard"));
    SelectDataColumns = add(tr("&Select columns ..."), QString());
    int tag = 1;
    for (QAction* a : {CopyDataAll, CopyDataData, CopyDataRow}) {
        const int mode = tag++;
        connect(a, &QAction::triggered, this, [this, mode] { CopyDataExecute(mode); });
    }
    connect(SelectDataColumns, &QAction::triggered, this, [this] { SelectDataColumnsExecute(); });
    pmnCopyData = new QMenu(this);
    pmnCopyData->addActions({CopyDataAll, CopyDataData, CopyDataRow, SelectDataColumns});

    LayoutData = new QAction(this);
    LayoutData->setCheckable(true);
    LayoutTrainings = new QAction(this);
    LayoutTrainings->setCheckable(true);
}

void TfrmChart::CreateChart()
{
    FChart = new TChartWidget(pnlChart);
    FChart->setGeometry(22, 15, 195, 195);
    TChartModel& model = FChart->EditModel();
    model.AnimatedZoom = true;
    model.BackClear = true;
    model.FrameVisible = false;
    model.MarginLeft = model.MarginTop = model.MarginRight = model.MarginBottom = 5;
    model.TitleVisible = false;
    model.LegendVisible = false;
    model.Top.Visible = false;
    for (TChartAxis* axis : {&model.Bottom, &model.Left, &model.Right}) {
        axis->DateTimeFormat = QStringLiteral("nn:ss");
        axis->TitleFont = TChartFont{};
        axis->TitleFont.Name = QStringLiteral("Arial");
        axis->TitleFont.Height = -13;
        axis->TitleFont.Color = 0;
    }
    model.Right.TitleAngle = 90;
    FChart->Refresh();
}

void TfrmChart::SetLayoutActions(QAction* layoutData, QAction* layoutTrainings)
{
    if (layoutData)
        LayoutData = layoutData;
    if (layoutTrainings)
        LayoutTrainings = layoutTrainings;
}

// ---------------------------------------------------------------------------------------------
// Registry

int TfrmChart::OpenTrainingCount()
{
    return frmMain ? frmMain->TrainingCount() : 0;
}

TTraining* TfrmChart::TrainingRef(int index)
{
    return frmMain ? frmMain->TrainingPtr(index) : nullptr;
}

TTraining* TfrmChart::ActiveTraining(int n)
{
    if (!frmMain || n < 1)
        return nullptr;
    for (TfrmTraining* window : frmMain->TrainingWindows())
        if (window->Training.Header.Active && --n == 0)
            return &window->Training;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// The training list

int TfrmChart::SelectedIndex() const
{
    const int row = clbTrainings->currentRow();
    if (row < 0 || !clbTrainings->item(row)->isSelected())
        return -1;
    return row;
}

void TfrmChart::SelectIndex(int index)
{
    const bool filling = FFilling;
    FFilling = true;
    if (index >= 0 && index < clbTrainings->count()) {
        clbTrainings->setCurrentRow(index);
    } else {
        clbTrainings->setCurrentRow(-1);
        clbTrainings->clearSelection();
    }
    FFilling = filling;
}

QStringList TfrmChart::TrainingItemTitles() const
{
    QStringList titles;
    const int count = OpenTrainingCount();
    for (int i = 0; i < count; ++i) {
        const TTraining* training = TrainingRef(i);
        if (!training)
            break;
        titles << Cp1252ToQString(training->Header.Title);
    }
    return titles;
}

void TfrmChart::FillTrainingList(bool selectFirst)
{
    const int selected = SelectedIndex();
    const QStringList titles = TrainingItemTitles();
    // A list that holds these items already is left as the user left it, scrolled and
    // selected: a session's strokes come here at every recovery.
    bool same = clbTrainings->count() == titles.size();
    for (int i = 0; same && i < titles.size(); ++i)
        same = clbTrainings->item(i)->text() == titles[i];
    FFilling = true;
    if (!same) {
        clbTrainings->clear();
        for (const QString& title : titles) {
            auto* item = new QListWidgetItem(title, clbTrainings);
            item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
    }
    for (int i = 0; i < clbTrainings->count(); ++i) {
        const TTraining* training = TrainingRef(i);
        clbTrainings->item(i)->setCheckState(training && training->Header.Active ? Qt::Checked : Qt::Unchecked);
    }
    FFilling = false;
    if (selectFirst)
        SelectIndex(0);
    else
        SelectIndex(selected >= 0 && selected < clbTrainings->count() ? selected : -1);
    TfrmChart::clbTrainingsClick();
}

void TfrmChart::clbTrainingsClick()
{
    const int count = OpenTrainingCount();
    if (clbTrainings->count() == count) {
        const bool filling = FFilling;
        FFilling = true;
        for (int i = 0; i < count; ++i)
            if (const TTraining* training = TrainingRef(i))
                clbTrainings->item(i)->setCheckState(training->Header.Active ? Qt::Checked : Qt::Unchecked);
        FFilling = filling;
    }
    clbTrainings->viewport()->update();
}

void TfrmChart::clbTrainingsClickCheck(QListWidgetItem* item)
{
    // The item whose box changed, which need not be the selected one.
    const int index = item ? clbTrainings->row(item) : -1;
    if (index < 0 || index >= OpenTrainingCount())
        return;
    if (TTraining* training = TrainingRef(index))
        training->Header.Active = item->checkState() == Qt::Checked ? 1 : 0;
    if (frmMain)
        frmMain->RefreshViews();
}

void TfrmChart::clbTrainingsDblClick()
{
    ChartOptionsExecute();
}

void TfrmChart::TrainingActiveExecute()
{
    const int index = SelectedIndex();
    if (index < 0)
        return;
    QListWidgetItem* item = clbTrainings->item(index);
    FFilling = true;
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    FFilling = false;
    clbTrainingsClickCheck(item);
}

void TfrmChart::TrainingActiveUpdate()
{
    const int index = SelectedIndex();
    TrainingActive->setEnabled(index >= 0);
    TrainingActive->setChecked(index >= 0 && clbTrainings->item(index)->checkState() == Qt::Checked);
}

void TfrmChart::ChartOptionsExecute()
{
    const int index = SelectedIndex();
    TTraining* training = index >= 0 ? TrainingRef(index) : nullptr;
    if (!training)
        return;
    if (RunChartOptions)
        RunChartOptions(*training);
    else
        ChartOptionsDialog().Execute(*training);
    // Whatever the answer: the training's window shows it as changed.
    if (frmMain && index < OpenTrainingCount())
        if (TfrmTraining* window = frmMain->TrainingWindow(index)) {
            window->Training.Header.Modified = 1;
            window->RefreshHeader();
        }
    if (frmMain)
        frmMain->RefreshViews();
}

void TfrmChart::OpenTrainingExecute()
{
    const int index = SelectedIndex();
    if (index < 0 || !frmMain)
        return;
    frmMain->ShowChild(frmMain->TrainingWindow(index));
}

QString TfrmChart::GetTrainingCaption(int index) const
{
    const TTraining* training = TrainingRef(index);
    if (!training)
        return QString();
    const std::uint8_t fields = frmMain ? frmMain->ChartLabelFields : 4;
    const QString label = TrainingLabelText(training->Header, fields, false);
    const int high = HighOf(*training);
    switch (training->Header.CurveMode) {
    case 0:
        if (training->Header.CurrentStroke == 1 && high == 1)
            return label;
        return QStringLiteral("%1 (%2/%3)").arg(label).arg(training->Header.CurrentStroke).arg(high);
    case 1:
        return QStringLiteral("%1 [A] (%2)").arg(label).arg(high);
    case 2:
        return QStringLiteral("%1 [Int %2]").arg(label).arg(training->Header.IntervalIndex + 1);
    default:
        return label;
    }
}

QColor TfrmChart::ListColor() const
{
    return clbTrainings->palette().color(QPalette::Base);
}

QColor TfrmChart::ListFontColor() const
{
    return clbTrainings->palette().color(QPalette::Text);
}

int TfrmChart::FontSize() const
{
    const QFont f = font();
    if (f.pointSizeF() > 0)
        return int(std::lround(f.pointSizeF()));
    return std::max(1, int(std::lround(f.pixelSize() * 72.0 / 96.0)));
}

void TfrmChart::DrawTrainingItem(QPainter& painter, const QRect& rect, int index, bool selected)
{
    const QPalette& pal = clbTrainings->palette();
    painter.fillRect(rect, selected ? pal.color(QPalette::Highlight) : ListColor());
    painter.setPen(selected ? pal.color(QPalette::HighlightedText) : ListFontColor());
    painter.setFont(clbTrainings->font());
    const QRect textRect(rect.left() + kCaptionLeft, rect.top() + 2, rect.width() - kCaptionLeft - kCaptionRightGap,
                         rect.height() - 2);
    painter.save();
    painter.setClipRect(textRect);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, GetTrainingCaption(index));
    painter.restore();

    const TTraining* training = TrainingRef(index);
    if (!training)
        return;
    // The legend: a box in the chart's colour with the training's line across it.
    const TChartModel& model = FChart->Model();
    const QColor chartColour = model.BackClear ? palette().color(QPalette::Window) : ColorRefToQColor(model.BackColor);
    const int right = rect.right() + 1;
    const int bottom = rect.bottom() + 1;
    painter.fillRect(QRect(QPoint(right - 25, rect.top() + 2), QPoint(right - 7, bottom - 2 - 1)), chartColour);
    const auto colour = std::uint32_t(training->Header.Color);
    const int width = std::max(1, int(training->Header.PenWidth));
    const bool chartSeriesOption = frmMain ? frmMain->ChartSeriesOption : true;
    if (FShowZ && chartSeriesOption) {
        painter.setPen(QPen(ColorRefToQColor(InvertColor(colour)), width, Qt::SolidLine));
        painter.drawLine(right - 28, bottom - 2, right - 4, rect.top() + 2);
        painter.setPen(QPen(ColorRefToQColor(colour), width, ToQtPenStyle(training->Header.PenStyle)));
        painter.drawLine(right - 28, rect.top() + 2, right - 4, bottom - 2);
    } else {
        const int middle = rect.top() + rect.height() / 2;
        painter.setPen(QPen(ColorRefToQColor(colour), width, ToQtPenStyle(training->Header.PenStyle)));
        painter.drawLine(right - 28, middle, right - 4, middle);
    }
}

void TfrmChart::DrawExtraItem(QPainter& painter, const QRect& rect, int, bool selected)
{
    painter.fillRect(rect, selected ? clbTrainings->palette().color(QPalette::Highlight) : ListColor());
}

// ---------------------------------------------------------------------------------------------
// The data grid

void TfrmChart::FillDataGridHeader()
{
    const int size = FontSize();
    sgdData->setColumnWidth(0, 120);
    sgdData->verticalHeader()->setDefaultSectionSize(2 * size);
    sgdData->horizontalHeader()->setFixedHeight(int(std::nearbyint(2.5 * size)));
    sgdData->clearContents();
    sgdData->setRowCount(1);
    int n = 0;
    const int count = OpenTrainingCount();
    for (int i = 0; i < count; ++i) {
        const TTraining* training = TrainingRef(i);
        if (!training || !training->Header.Active)
            continue;
        ++n;
        if (n > 1)
            sgdData->setRowCount(n);
        sgdData->setItem(n - 1, 0, new QTableWidgetItem(GetTrainingCaption(i)));
    }
}

void TfrmChart::FitDataColumnsToTitles()
{
    for (int c = 1; c < sgdData->columnCount(); ++c)
        sgdData->setColumnWidth(c, std::max(sgdData->columnWidth(c), sgdData->horizontalHeader()->sectionSizeHint(c)));
}

void TfrmChart::DrawLegendLine(QPainter& painter, const QRect& rect, int penStyle, int penWidth, const QColor& color)
{
    const int right = rect.right() + 1;
    painter.fillRect(QRect(right - 10, rect.top(), 10, rect.height()), painter.brush());
    if (penStyle != kPenClear && penWidth > 0) {
        painter.setPen(QPen(color, penWidth, ToQtPenStyle(penStyle)));
        painter.drawLine(right - 5, rect.top() + 3, right - 5, rect.bottom() + 1 - 3);
    }
    painter.setPen(QPen(painter.pen().color(), 1, Qt::SolidLine));
}

void TfrmChart::CopyDataExecute(int mode)
{
    CopyGridToClipboard(static_cast<const QTableView*>(sgdData), mode);
}

void TfrmChart::SelectDataColumnsExecute()
{
    SelectColumnsDialog().Execute(sgdData);
}

// ---------------------------------------------------------------------------------------------
// Layout

void TfrmChart::AlignBottomPanels()
{
    // The splitter, the data panel and the status bar are laid out bottom up by the window's
    // layout; only the status bar's place below the splitter needs keeping.
    if (auto* box = qobject_cast<QVBoxLayout*>(layout()); box && box->indexOf(StatusBar) != box->count() - 1) {
        box->removeWidget(StatusBar);
        box->addWidget(StatusBar);
    }
}

void TfrmChart::ApplyLayout(QAction* action)
{
    if (!action) {
        LayoutData->setChecked(FDataVisible);
        LayoutTrainings->setChecked(FTrainingsVisible);
    } else {
        action->setChecked(!action->isChecked());
    }
    FDataVisible = LayoutData->isChecked();
    pnlData->setVisible(FDataVisible);
    if (FDataVisible) {
        const int total = std::max(splData->height() - splData->handleWidth(), FDataHeight + 1);
        splData->setSizes({total - FDataHeight, FDataHeight});
    }
    FTrainingsVisible = LayoutTrainings->isChecked();
    pnlTrainings->setVisible(FTrainingsVisible);
    if (FTrainingsVisible) {
        const int total = std::max(splTrainings->width() - splTrainings->handleWidth(), FTrainingsWidth + 1);
        splTrainings->setSizes({total - FTrainingsWidth, FTrainingsWidth});
    }
}

bool TfrmChart::splDataCanResize(int& newSize) const
{
    if (newSize > height() - kTopReserve) {
        newSize = height() - kTopReserve;
        return false;
    }
    if (newSize < kDataMin) {
        newSize = kDataMin;
        return false;
    }
    return true;
}

bool TfrmChart::splTrainingsCanResize(int& newSize) const
{
    if (newSize > width() - kTopReserve) {
        newSize = width() - kTopReserve;
        return false;
    }
    if (newSize < kTrainingsMin) {
        newSize = kTrainingsMin;
        return false;
    }
    return true;
}

void TfrmChart::splDataMoved()
{
    int height = pnlData->height();
    if (!splDataCanResize(height))
        splData->setSizes({std::max(splData->height() - splData->handleWidth() - height, 1), height});
    clbTrainings->viewport()->update();
    AlignBottomPanels();
}

void TfrmChart::pnlChartResize()
{
    const int w = pnlChart->width();
    const int h = pnlChart->height();
    if (FSquare) {
        const int side = std::min(w, h);
        FChart->setGeometry((w - side) / 2, (h - side) / 2, side, side);
    } else {
        FChart->setGeometry(0, 0, w, h);
    }
}

bool TfrmChart::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == pnlChart && event->type() == QEvent::Resize)
        pnlChartResize();
    return TMDIChild::eventFilter(watched, event);
}

void TfrmChart::showEvent(QShowEvent* event)
{
    TMDIChild::showEvent(event);
    if (FShownOnce)
        return;
    FShownOnce = true;
    ApplyLayout(nullptr);
    SelectIndex(-1);
    AlignBottomPanels();
}

void TfrmChart::resizeEvent(QResizeEvent* event)
{
    TMDIChild::resizeEvent(event);
    AlignBottomPanels();
}

// ---------------------------------------------------------------------------------------------
// Colours and settings

void TfrmChart::SetColors(const QFont& font, const QColor& textColor, const QColor& backColor, const QColor& windowColor)
{
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, backColor);
    SetEnabledColor(pal, QPalette::WindowText, FontColor);
    setPalette(pal);

    const int size = FontSize();
    for (QAbstractItemView* view : std::initializer_list<QAbstractItemView*>{clbTrainings, sgdData}) {
        QPalette p = view->palette();
        p.setColor(QPalette::Base, windowColor);
        SetEnabledColor(p, QPalette::Text, textColor);
        view->setPalette(p);
        view->setFont(font);
    }
    clbTrainings->doItemsLayout();
    sgdData->verticalHeader()->setDefaultSectionSize(2 * size);
    sgdData->horizontalHeader()->setFixedHeight(int(std::nearbyint(2.5 * size)));
    QPalette headerPal = sgdData->horizontalHeader()->palette();
    SetEnabledColor(headerPal, QPalette::ButtonText, Qt::black);
    SetEnabledColor(headerPal, QPalette::WindowText, Qt::black);
    sgdData->horizontalHeader()->setPalette(headerPal);

    TChartModel& model = FChart->EditModel();
    const TChartFont chartFont = ChartFontOf(font, FontColor);
    for (TChartAxis* axis : {&model.Bottom, &model.Left, &model.Top, &model.Right}) {
        axis->LabelFont = chartFont;
        axis->TitleFont = chartFont;
        axis->AxisColor = QColorToColorRef(FontColor);
    }
    FChart->Refresh();
    // Row heights and column 0 follow the font; the kinds fill the values in again.
    FillDataGridHeader();
    update();
}

void TfrmChart::LoadSettings(const QString& iniFileName, int placement)
{
    if (FSection.isEmpty())
        return;
    if (QFileInfo::exists(iniFileName)) {
        TIniFile ini(iniFileName);
        FLeft = ini.ReadInteger(FSection, QStringLiteral("Left"), FLeft);
        FTop = ini.ReadInteger(FSection, QStringLiteral("Top"), FTop);
        FWidth = ini.ReadInteger(FSection, QStringLiteral("Width"), FWidth);
        FHeight = ini.ReadInteger(FSection, QStringLiteral("Height"), FHeight);
        FColumns = ini.ReadString(FSection, QStringLiteral("Columns"), FColumns);
        FDataVisible = ini.ReadBool(FSection, QStringLiteral("Data"), FDataVisible);
        if (FDataVisible)
            FDataHeight = ini.ReadInteger(FSection, QStringLiteral("DataHeight"), FDataHeight);
        FTrainingsVisible = ini.ReadBool(FSection, QStringLiteral("Trainings"), FTrainingsVisible);
        if (FTrainingsVisible)
            FTrainingsWidth = ini.ReadInteger(FSection, QStringLiteral("TrainingsWidth"), FTrainingsWidth);
    }
    Place(placement, FLeft, FTop, FWidth, FHeight);
    SetGridColWidths(sgdData, FColumns);
    ApplyLayout(nullptr);
}

void TfrmChart::SaveSettings(const QString& iniFileName)
{
    if (FSection.isEmpty())
        return;
    FColumns = GetGridColWidths(sgdData);
    GetFormBounds(this, FLeft, FTop, FWidth, FHeight);
    if (!IsFileWritable(iniFileName))
        return;
    // Only this window's keys: the section may hold keys of others (the main window's axes).
    TIniFile ini(iniFileName);
    ini.WriteInteger(FSection, QStringLiteral("Left"), FLeft);
    ini.WriteInteger(FSection, QStringLiteral("Top"), FTop);
    ini.WriteInteger(FSection, QStringLiteral("Width"), FWidth);
    ini.WriteInteger(FSection, QStringLiteral("Height"), FHeight);
    ini.WriteString(FSection, QStringLiteral("Columns"), FColumns);
    ini.WriteBool(FSection, QStringLiteral("Data"), FDataVisible);
    if (FDataVisible)
        ini.WriteInteger(FSection, QStringLiteral("DataHeight"), pnlData->height());
    else
        ini.DeleteKey(FSection, QStringLiteral("DataHeight"));
    ini.WriteBool(FSection, QStringLiteral("Trainings"), FTrainingsVisible);
    if (FTrainingsVisible)
        ini.WriteInteger(FSection, QStringLiteral("TrainingsWidth"), pnlTrainings->width());
    else
        ini.DeleteKey(FSection, QStringLiteral("TrainingsWidth"));
    ini.UpdateFile();
}

bool TfrmChart::CloseQuery()
{
    if (!Closing)
        SaveSettings(GetUserIniFileName(true));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Broadcasts

void TfrmChart::TrainingListChanged(bool)
{
    FillTrainingList(false);
}

void TfrmChart::RefreshTrainingViews()
{
    clbTrainingsClick();
}

void TfrmChart::TrainingClosed(int)
{
    RefreshTrainings();
}

void TfrmChart::RefreshTrainings()
{
    FillTrainingList(false);
    if (clbTrainings->count() > 0)
        TfrmChart::clbTrainingsClick();
    else
        Close();
}

// ---------------------------------------------------------------------------------------------
// The picture

QString TfrmChart::ChartPictureName() const
{
    const int index = SelectedIndex();
    if (const TTraining* training = index >= 0 ? TrainingRef(index) : nullptr)
        return TrainingDisplayName(*training);
    return ProgramFilePath();
}

QImage TfrmChart::ChartPicture()
{
    UpdatePictureInfo();
    const QColor fontColor = FontColor;
    const QColor listFontColor = ListFontColor();
    const QColor windowColor = palette().color(QPalette::Window);
    const QColor listColor = ListColor();
    const std::array<QWidget*, 4> panels{pnlTraining1, pnlTraining2, pnlTraining3, pnlTraining4};
    std::array<bool, 4> shown{};
    for (std::size_t i = 0; i < panels.size(); ++i)
        shown[i] = !panels[i]->isHidden();
    const int selected = SelectedIndex();
    // A control going out of sight would hand the focus on to the next one in line; the window
    // holds it meanwhile and gives it back.
    QPointer<QWidget> focused = QApplication::focusWidget();
    if (focused && isAncestorOf(focused))
        setFocus(Qt::OtherFocusReason);
    else
        focused.clear();

    FontColor = Qt::black;
    SetColors(font(), Qt::black, Qt::white, Qt::white);
    for (QFrame* frame : std::initializer_list<QFrame*>{clbTrainings, sgdData})
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    pnlTraining1->show();
    for (QWidget* panel : {pnlTraining2, pnlTraining3, pnlTraining4})
        panel->hide();
    SelectIndex(-1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    FChart->replot(QCustomPlot::rpImmediateRefresh);
    QImage image = grab().toImage().convertToFormat(QImage::Format_RGB32);

    FontColor = fontColor;
    SetColors(font(), listFontColor, windowColor, listColor);
    for (QFrame* frame : std::initializer_list<QFrame*>{clbTrainings, sgdData})
        frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    for (std::size_t i = 0; i < panels.size(); ++i)
        panels[i]->setVisible(shown[i]);
    SelectIndex(selected);
    if (focused && focused->isVisible() && focused->isEnabled())
        focused->setFocus(Qt::OtherFocusReason);

    QPainter painter(&image);
    painter.setPen(Qt::black);
    const int w = image.width();
    const int h = image.height();
    painter.drawLine(w - 1, 0, w - 1, h - 1);
    painter.drawLine(w - 1, h - 1, 0, h - 1);
    painter.setFont(font());
    painter.drawText(QRect(2, 1, w - 2, h - 1), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     QStringLiteral("%1 (%2)").arg(GetProductTitle(), NowDateTimeStr()));
    painter.end();
    return ToSixteenColours(image);
}

bool TfrmChart::ExportChartPicture(bool toFile)
{
    const QImage image = ChartPicture();
    QGuiApplication::clipboard()->setImage(image);
    if (!toFile)
        return false;
    QString offered = ChartPictureName();
    const QFileInfo info(offered);
    if (!info.suffix().isEmpty())
        offered.chop(info.suffix().size() + 1);
    const QString folder = frmMain ? frmMain->LastDir : QString();
    QString fileName;
    if (AskSaveFileName) {
        fileName = AskSaveFileName(folder, offered);
    } else {
        QFileDialog dialog(this, tr("Save chart as file"), folder,
                           tr("Windows bitmap files (*.bmp);;All files (*)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("bmp"));
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
        dialog.selectFile(offered);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            fileName = dialog.selectedFiles().constFirst();
    }
    if (fileName.isEmpty())
        return false;
    if (QString why; !SaveImageAsBitmap(image, fileName, &why)) {
        ShowMessageBox(this, QMessageBox::Critical,
                       tr("Could not write the file %1.").arg(fileName) + QStringLiteral("\n") + why);
        return false;
    }
    if (frmMain)
        frmMain->LastDir = AddBackslash(QFileInfo(fileName).absolutePath());
    return true;
}
