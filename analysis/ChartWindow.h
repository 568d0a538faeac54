// Base of the analysis windows (stroke data, force curves): a chart on the left, the check-list
// of the open trainings on the right, a data grid at the bottom, splitters between them, a
// settings section of its own and the picture of the window for the clipboard or a .bmp file.
// Trainings are reached only through the main window's registry, by list index; indices at or
// beyond the number of open trainings reach the main window's spare records.
#pragma once

#include "shell/MdiChild.h"
#include "shell/TrainingViews.h"

#include <QImage>
#include <functional>

class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPainter;
class QSplitter;
class QStatusBar;
class QTableWidget;
class TChartWidget;
struct TTraining;

class TfrmChart : public TMDIChild, public TTrainingViews {
    Q_OBJECT
public:
    explicit TfrmChart(TMDIMain* owner);
    ~TfrmChart() override;

    // Window bounds as stored in the settings file.
    int FLeft = -1;
    int FTop = -1;
    int FWidth = -1;
    int FHeight = -1;
    QString FColumns;          // data-grid column widths from column 1 on, blank-separated
    QString FSection;          // settings section; empty: nothing is read or written
    bool FSquare = false;      // the chart is kept square and centred in its panel
    bool FDataVisible = true;  // the data area is shown
    int FDataHeight = 80;
    bool FTrainingsVisible = true;  // the training list is shown
    int FTrainingsWidth = 170;
    bool FShowZ = false;  // each training has a second (Z) series: the list legend shows two lines
    TChartWidget* FChart = nullptr;
    QColor FontColor = Qt::black;  // the colour of the window's font (axis lines, fixed cells)

    // Controls, as designed. splTrainings splits pnlTop between the chart and the list,
    // splData splits the window between pnlTop and the data panel.
    QSplitter* splData;
    QWidget* pnlTop;
    QSplitter* splTrainings;
    QWidget* pnlChart;
    QWidget* pnlTrainings;
    QWidget* pnlList;
    QLabel* pnlTitle;
    QListWidget* clbTrainings;
    QWidget* pnlTraining1;  // the info panel, shown in pictures
    QLabel* lblInfo;
    QWidget* pnlTraining2;
    QWidget* pnlTraining3;
    QWidget* pnlTraining4;
    QWidget* pnlData;
    QTableWidget* sgdData;  // the horizontal header is the fixed row 0, column 0 the fixed column
    QStatusBar* StatusBar;

    QMenu* pmnTrainings;
    QAction* TrainingActive;
    QAction* ChartOptions;
    QAction* OpenTraining;
    QMenu* pmnCopyData;  // detached from the grid: the window offers none of its actions
    QAction* CopyDataAll;
    QAction* CopyDataData;
    QAction* CopyDataRow;
    QAction* SelectDataColumns;
    // The layout actions of the main window; the window's own until the main window hands in
    // its own (SetLayoutActions).
    QAction* LayoutData;
    QAction* LayoutTrainings;
    void SetLayoutActions(QAction* layoutData, QAction* layoutTrainings);

    // Virtual operations of the kinds.
    // A training was closed: the list is refilled; a list left empty closes the window.
    virtual void RefreshTrainings();
    virtual void FillTrainingList(bool selectFirst);
    virtual QString GetTrainingCaption(int index) const;
    virtual void UpdatePictureInfo() {}
    void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                   const QColor& windowColor) override;
    // Placement: 1 stored bounds, 2 fill the MDI client area, 3 maximised.
    virtual void LoadSettings(const QString& iniFileName, int placement);
    virtual void SaveSettings(const QString& iniFileName);

    // Tag of the copy action: 1 all with titles, 2 data only, 3 the current row.
    void CopyDataExecute(int mode);
    // Null: the layout actions are checked from the fields; an action: its check is toggled.
    void ApplyLayout(QAction* action);
    // The window's picture (see ChartPicture) to the clipboard and, with toFile, to a .bmp file
    // the user chooses. True when a file was written.
    bool ExportChartPicture(bool toFile);
    // The window drawn in black on white in 16 colours, with the product and the time written
    // at its top left and a frame line on its right and bottom.
    QImage ChartPicture();
    // The name the picture's file is offered under: the selected training's name, else the
    // program's path.
    QString ChartPictureName() const;
    void FillDataGridHeader();
    // The data columns from 1 on wide enough for their titles (stored widths replace these).
    void FitDataColumnsToTitles();
    void AlignBottomPanels();
    // Fills the rightmost 10 pixels of rect with the brush and draws a vertical line 5 pixels
    // from the right edge.
    static void DrawLegendLine(QPainter& painter, const QRect& rect, int penStyle, int penWidth,
                               const QColor& color);

    // The training registry as the window sees it: open trainings, and records by list index
    // (spare records beyond the count). Null when there is no such record.
    static int OpenTrainingCount();
    static TTraining* TrainingRef(int index);
    // The n-th active open training (n from 1), or null.
    static TTraining* ActiveTraining(int n);

    // Event handlers.
    virtual void clbTrainingsClick();
    virtual void clbTrainingsClickCheck(QListWidgetItem* item);
    virtual void clbTrainingsDblClick();
    void TrainingActiveExecute();
    void TrainingActiveUpdate();
    void ChartOptionsExecute();
    void OpenTrainingExecute();
    void SelectDataColumnsExecute();
    void pnlChartResize();
    // Splitter limits: false when the size is out of bounds; size is then set to the bound.
    bool splDataCanResize(int& newSize) const;
    bool splTrainingsCanResize(int& newSize) const;
    void splDataMoved();

    // The registry's broadcasts.
    void TrainingListChanged(bool changed) override;
    void RefreshTrainingViews() override;
    void TrainingClosed(int id) override;

    // The chart options dialog on a training (tests replace it); true on OK.
    std::function<bool(TTraining& training)> RunChartOptions;
    // The save dialog of the picture: the chosen file name, empty when cancelled.
    std::function<QString(const QString& folder, const QString& name)> AskSaveFileName;

protected:
    bool CloseQuery() override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The list's painting of the items beyond the open trainings (force-curve averages).
    virtual void DrawExtraItem(QPainter& painter, const QRect& rect, int index, bool selected);
    // The texts of the list's items: the open trainings' titles, then the kind's own items.
    virtual QStringList TrainingItemTitles() const;
    // The selected list index, -1 for none.
    int SelectedIndex() const;
    void SelectIndex(int index);
    // Paints one list item: background, caption, legend box and line.
    void DrawTrainingItem(QPainter& painter, const QRect& rect, int index, bool selected);
    QColor ListColor() const;
    QColor ListFontColor() const;
    int FontSize() const;  // the window font's size in points

private:
    bool FFilling = false;  // the list is being filled: check changes are not the user's
    bool FShownOnce = false;
    void CreateControls();
    void CreateChart();
    void CreateActions();
};
