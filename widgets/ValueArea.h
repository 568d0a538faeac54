// A value area: live values of a TValueData in rows of equal cells, each cell a framed box with
// its caption, the value in large digits and optional bar, history graph and min/average/max
// labels, or the logo. One widget paints every cell; the rows and cells are a TValueAreaLayout.
// A popup menu adds, changes and deletes rows and cells and opens the options dialog.
#pragma once

#include "foundation/values/ValueAreaLayout.h"
#include "foundation/values/ValueData.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <functional>

class QAction;
class QPainter;
class TfrmValueOptions;

// The logo picture of a value data.
class TValueLogoImage : public TValueLogo {
public:
    explicit TValueLogoImage(QImage image) : Image(std::move(image)) {}
    int Width() const override { return Image.width(); }
    int Height() const override { return Image.height(); }
    QImage Image;
};

// A colour of the data (COLORREF or a system colour) for painting.
QColor ValueColor(TColor color, const QPalette& palette);

class TValueArea : public QWidget, public TValueAreaLink {
    Q_OBJECT
public:
    explicit TValueArea(QWidget* parent = nullptr);
    ~TValueArea() override;

    QString IniSection = QStringLiteral("ValueArea");
    QString DefaultItems;
    int HitRow = -1;
    int HitCell = -1;
    bool IsPreview = false;
    TfrmValueOptions* PreviewDialog = nullptr; // a preview draws this dialog's working item
    QColor EditFontColor = Qt::black;
    QColor EditColor;

    TValueData* Data() const { return FData; }
    void SetData(TValueData* data);
    TValueAreaLayout& Layout() { return FLayout; }
    const TValueAreaLayout& Layout() const { return FLayout; }
    QColor Color() const { return FColor; }

    // TValueAreaLink: repaint every cell.
    void Update() override;
    void UpdateAppearance(const QFont& font, const QColor& editFontColor, const QColor& editColor,
                          const QColor& color);

    void AddRow();
    void PlaceCell(int row, int id);
    void ClearRows();
    // The "Items" key of IniSection; an empty file name is the program's own .ini.
    void SaveItems(const QString& fileName);
    void LoadItems(const QString& fileName);

    void HitTest(); // at the mouse cursor
    void HitTestAt(const QPoint& pos);
    QRect CellRect(int row, int cell) const;

    // The popup menu (null when the data offers nothing) and its entries.
    void BuildPopupMenu();
    QMenu* PopupMenu() const { return FMenu; }
    QMenu* AddCellMenu() const { return FAddCellMenu; }
    QMenu* ChangeCellMenu() const { return FChangeCellMenu; }
    QAction* MenuEntry(int index) const; // 0..7 as the menu lists them
    void PopupMenuPopup(const QPoint& pos); // hit test at pos, then enable and check entries
    void AreaDblClick(const QPoint& pos);
    void ShowOptions();

    // Runs the options dialog; tests replace it. Returns the dialog's result.
    static std::function<int(TfrmValueOptions&)> OptionsDialogHook;

    // Paints every cell (the paint event and the benchmark).
    void PaintTo(QPainter& painter);

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override; // a cell's hint is its item's hint

private:
    TValueData* FData = nullptr;
    TValueAreaLayout FLayout;
    QColor FColor;
    QPointer<QMenu> FMenu;
    QMenu* FAddCellMenu = nullptr;
    QMenu* FChangeCellMenu = nullptr;
    QList<QAction*> FEntries;
    QFont FValueFont;
    QHash<QString, int> FWidths; // value texts' widths at the measuring size
    // Large text is drawn from outlines on every call; the value digits are drawn from images
    // made once per character and size instead.
    struct TGlyph {
        QImage Image;
        int Advance = 0;
        QPoint Offset; // of the image from the pen position at the line's top
    };
    QHash<quint64, TGlyph> FGlyphs;
    QRgb FGlyphColor = 0;
    int FMeasureHeight = 0;

    void DataOptionsChanged() override;
    void DataDestroyed() override;
    void FreePopupMenu();
    void AddCellClicked(int tag);
    void ChangeCellClicked(int tag);
    void DeleteRowClicked();
    void DeleteCellClicked();
    int MeasureWidth(const QString& text);
    const TGlyph& Glyph(QChar c, int pixelSize);
    void DrawValueText(QPainter& p, const QString& text, int right, int top, int pixelSize);
    void PaintCell(QPainter& p, const QRect& rect, int id);
    void PaintLogo(QPainter& p, const QRect& client);
    void PaintItem(QPainter& p, const QRect& client, const TValueItem& item);
};
