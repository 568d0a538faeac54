#include "widgets/ValueArea.h"

#include "foundation/core/AppUtils.h"
#include "platform/IniFiles.h"
#include "widgets/UiUtils.h"
#include "widgets/ValueOptionsDialog.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QHelpEvent>
#include <QToolTip>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <cmath>

std::function<int(TfrmValueOptions&)> TValueArea::OptionsDialogHook;

namespace {

// Menu entries.
enum : int {
    kAddRow = 0,
    kDeleteRow = 1,
    kAddSeparator = 2,
    kAddCell = 3,
    kChangeCell = 4,
    kDeleteCell = 5,
    kOptionsSeparator = 6,
    kOptions = 7,
};
constexpr int kFixedSubmenuEntries = 3;
constexpr int kSeparatorTag = -3;
constexpr int kMaxMeasured = 512; // measured texts kept per area
constexpr int kMaxGlyphs = 1024;  // glyph images kept per area

int Nint(double x) {
    return static_cast<int>(std::nearbyint(x));
}

QRect ToQRect(const TValueRect& r) {
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}

// The classic outline of a rectangle whose right and bottom are exclusive.
void FrameRect(QPainter& p, const TValueRect& r, const QColor& color) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    p.setPen(QPen(color, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1);
}

QString IniName(const QString& fileName) {
    return fileName.isEmpty() ? GetExeIniFileName() : fileName;
}

} // namespace

QColor ValueColor(TColor color, const QPalette& palette) {
    if ((color & 0xFF000000u) != 0xFF000000u) return ColorRefToQColor(color & 0x00FFFFFFu);
    switch (color) {
    case clBtnFace:
        return palette.color(QPalette::Button);
    case clBtnHighlight:
        return palette.color(QPalette::Light);
    case clBtnShadow:
        return palette.color(QPalette::Mid);
    case clWindow:
        return palette.color(QPalette::Base);
    case clWindowFrame:
    default:
        return palette.color(QPalette::WindowText);
    }
}

TValueArea::TValueArea(QWidget* parent) : QWidget(parent) {
    FColor = palette().color(QPalette::Window);
    EditColor = palette().color(QPalette::Base);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // "Arial" is what the numbers are meant in; fontconfig gives the metric twin.
    FValueFont = QFont(QStringLiteral("Arial"));
    FValueFont.setPixelSize(kValueMeasureSize);
    const QFontMetrics metrics(FValueFont);
    FMeasureHeight = metrics.height();
    BuildPopupMenu();
}

TValueArea::~TValueArea() {
    if (FData) FData->UnregisterArea(this);
    FreePopupMenu();
}

void TValueArea::SetData(TValueData* data) {
    if (data == FData) return;
    if (FData) FData->UnregisterArea(this);
    FData = data;
    if (FData) FData->RegisterArea(this);
    BuildPopupMenu();
    Update();
}

void TValueArea::DataOptionsChanged() {
    BuildPopupMenu();
}

void TValueArea::DataDestroyed() {
    FData = nullptr;
    BuildPopupMenu();
    Update();
}

void TValueArea::Update() {
    update();
}

void TValueArea::UpdateAppearance(const QFont& font, const QColor& editFontColor, const QColor& editColor,
                                  const QColor& color) {
    setFont(font);
    EditFontColor = editFontColor;
    EditColor = editColor;
    FColor = color;
    Update();
}

void TValueArea::AddRow() {
    FLayout.AddRow();
    Update();
}

void TValueArea::PlaceCell(int row, int id) {
    if (!FData) return;
    FLayout.PlaceCell(row, id, *FData);
    Update();
}

void TValueArea::ClearRows() {
    FLayout.Clear();
    Update();
}

void TValueArea::SaveItems(const QString& fileName) {
    if (!FData || !FData->CanChange()) return;
    const QString name = IniName(fileName);
    if (!IsFileWritable(name)) return;
    TIniFile ini(name);
    ini.WriteString(IniSection, QStringLiteral("Items"), FLayout.ItemsText());
    ini.UpdateFile();
}

void TValueArea::LoadItems(const QString& fileName) {
    if (!FData) return;
    const TIniFile ini(IniName(fileName));
    FLayout.LoadItemsText(ini.ReadString(IniSection, QStringLiteral("Items"), DefaultItems), *FData);
    Update();
}

void TValueArea::HitTest() {
    HitTestAt(mapFromGlobal(QCursor::pos()));
}

void TValueArea::HitTestAt(const QPoint& pos) {
    FLayout.HitTest(pos.x(), pos.y(), width(), height(), HitRow, HitCell);
}

QRect TValueArea::CellRect(int row, int cell) const {
    return ToQRect(FLayout.CellRect(row, cell, width(), height()));
}

// ---------------------------------------------------------------------------------------------
// Popup menu

void TValueArea::FreePopupMenu() {
    delete FMenu;
    FMenu = nullptr;
    FAddCellMenu = nullptr;
    FChangeCellMenu = nullptr;
    FEntries.clear();
}

QAction* TValueArea::MenuEntry(int index) const {
    return index >= 0 && index < FEntries.size() ? FEntries[index] : nullptr;
}

void TValueArea::BuildPopupMenu() {
    FreePopupMenu();
    if (!FData || IsPreview) return;
    const bool canAdd = FData->CanAdd();
    const bool canChange = FData->CanChange();
    const bool canOptions = FData->CanOptions();
    if (!canAdd && !canChange && !canOptions) return;

    FMenu = new QMenu(this);
    FMenu->setToolTipsVisible(true);
    const auto entry = [&](const QString& caption, const QString& hint, bool visible) {
        QAction* action = caption == QLatin1String("-") ? FMenu->addSeparator() : FMenu->addAction(caption);
        action->setToolTip(hint);
        action->setStatusTip(hint);
        action->setVisible(visible);
        FEntries << action;
        return action;
    };
    const auto submenu = [&](const QString& caption, const QString& hint, bool visible, auto clicked) {
        QMenu* menu = new QMenu(caption, FMenu);
        menu->setToolTipsVisible(true);
        QAction* action = FMenu->addMenu(menu);
        action->setToolTip(hint);
        action->setStatusTip(hint);
        action->setVisible(visible);
        FEntries << action;
        const auto fixed = [&](const QString& text, const QString& tip, int tag) {
            QAction* a = tag == kSeparatorTag ? menu->addSeparator() : menu->addAction(text);
            a->setToolTip(tip);
            a->setData(tag);
        };
        fixed(QStringLiteral("Empty"), QStringLiteral("Empty cell"), kEmptyCellId);
        fixed(QStringLiteral("Logo"), QStringLiteral("Application logo"), kLogoCellId);
        fixed(QStringLiteral("-"), QString(), kSeparatorTag);
        connect(menu, &QMenu::triggered, this, [this, clicked](QAction* a) { (this->*clicked)(a->data().toInt()); });
        return menu;
    };

    connect(entry(QStringLiteral("&Add row"), QStringLiteral("Add a row to this area"), canAdd), &QAction::triggered,
            this, &TValueArea::AddRow);
    connect(entry(QStringLiteral("&Delete row"), QStringLiteral("Delete this row"), canAdd), &QAction::triggered, this,
            &TValueArea::DeleteRowClicked);
    entry(QStringLiteral("-"), QString(), canAdd);
    FAddCellMenu = submenu(QStringLiteral("Add &cell"), QStringLiteral("Add a cell to this row"), canAdd,
                           &TValueArea::AddCellClicked);
    FChangeCellMenu = submenu(QStringLiteral("C&hange cell"), QStringLiteral("Change the contents of this cell"),
                              canChange, &TValueArea::ChangeCellClicked);
    for (QAction* a : FChangeCellMenu->actions())
        if (!a->isSeparator()) a->setCheckable(true);
    connect(entry(QStringLiteral("D&elete cell"), QStringLiteral("Delete this cell"), canAdd), &QAction::triggered,
            this, &TValueArea::DeleteCellClicked);
    entry(QStringLiteral("-"), QString(), (canAdd || canChange) && canOptions);
    QAction* options = entry(QStringLiteral("&Options"), QStringLiteral("Set item options"), canOptions);
    connect(options, &QAction::triggered, this, &TValueArea::ShowOptions);
    if (canOptions) FMenu->setDefaultAction(options);
}

void TValueArea::PopupMenuPopup(const QPoint& pos) {
    if (!FMenu) return;
    HitTestAt(pos);
    const int contentId = HitRow >= 0 && HitCell >= 0 ? FLayout.CellId(HitRow, HitCell) : kSeparatorTag;
    FEntries[kDeleteRow]->setEnabled(HitRow >= 0);
    FEntries[kAddCell]->setEnabled(HitRow >= 0);
    FEntries[kChangeCell]->setEnabled(HitCell >= 0);
    FEntries[kDeleteCell]->setEnabled(HitCell >= 0);
    FEntries[kOptions]->setEnabled(HitRow >= 0 && HitCell >= 0 && contentId >= 0);
    // Items are listed once, as defined when the menu first opens.
    if (FData && FAddCellMenu->actions().size() == kFixedSubmenuEntries) {
        for (const TValueItem& item : FData->Items) {
            for (QMenu* menu : {FAddCellMenu, FChangeCellMenu}) {
                QAction* a = menu->addAction(item.Caption);
                a->setToolTip(item.Hint);
                a->setData(item.ID);
                a->setCheckable(menu == FChangeCellMenu);
            }
        }
    }
    for (QAction* a : FChangeCellMenu->actions())
        if (!a->isSeparator()) a->setChecked(a->data().toInt() == contentId);
}

void TValueArea::AddCellClicked(int tag) {
    if (!FData || !FLayout.ValidRow(HitRow)) return;
    // The logo entry makes a logo cell; anything that is not an item an empty one.
    FLayout.AddCell(HitRow, tag == kLogoCellId || FData->ItemExists(tag) ? tag : kEmptyCellId);
    Update();
}

void TValueArea::ChangeCellClicked(int tag) {
    if (!FData || !FLayout.ValidCell(HitRow, HitCell)) return;
    const bool known = tag == kEmptyCellId || tag == kLogoCellId || FData->ItemExists(tag);
    FLayout.SetCellId(HitRow, HitCell, known ? tag : kEmptyCellId);
    Update();
}

void TValueArea::DeleteRowClicked() {
    if (!FData || !FLayout.DeleteRow(HitRow)) return;
    Update();
}

void TValueArea::DeleteCellClicked() {
    if (!FData || !FLayout.DeleteCell(HitRow, HitCell)) return;
    Update();
}

void TValueArea::AreaDblClick(const QPoint& pos) {
    if (!FData || !FData->CanOptions() || IsPreview) return;
    HitTestAt(pos);
    ShowOptions();
}

void TValueArea::ShowOptions() {
    if (!FData || !FLayout.ValidCell(HitRow, HitCell)) return;
    const int id = FLayout.CellId(HitRow, HitCell);
    TValueItem item;
    if (!FData->GetItem(id, item)) return;
    const QPointer<TValueArea> self(this);
    const QPointer<TfrmValueOptions> dialog(new TfrmValueOptions(window()));
    dialog->CreatePreview(this);
    dialog->SetAppearance(font(), EditFontColor, EditColor, FColor);
    dialog->Item = item;
    const int result = OptionsDialogHook ? OptionsDialogHook(*dialog) : dialog->exec();
    // The dialog's wait keeps events flowing: the area or its data may be gone now.
    if (!dialog || !self) return;
    TValueData* data = FData;
    if (data && result == QDialog::Accepted) data->SetItem(id, dialog->Item);
    delete dialog.data();
    if (data) data->UpdateAreas();
}

void TValueArea::contextMenuEvent(QContextMenuEvent* event) {
    if (!FMenu) return;
    PopupMenuPopup(event->pos());
    FMenu->popup(event->globalPos());
}

void TValueArea::mouseDoubleClickEvent(QMouseEvent* event) {
    AreaDblClick(event->position().toPoint());
}

bool TValueArea::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    int row = -1;
    int cell = -1;
    FLayout.HitTest(help->pos().x(), help->pos().y(), width(), height(), row, cell);
    const TValueItem* item = FData && cell >= 0 ? FData->FindItem(FLayout.CellId(row, cell)) : nullptr;
    if (item && !item->Hint.isEmpty())
        QToolTip::showText(help->globalPos(), item->Hint, this, CellRect(row, cell));
    else
        QToolTip::hideText();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Painting

void TValueArea::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintTo(p);
}

int TValueArea::MeasureWidth(const QString& text) {
    const auto found = FWidths.constFind(text);
    if (found != FWidths.constEnd()) return *found;
    if (FWidths.size() >= kMaxMeasured) FWidths.clear();
    const int w = QFontMetrics(FValueFont).horizontalAdvance(text);
    FWidths.insert(text, w);
    return w;
}

const TValueArea::TGlyph& TValueArea::Glyph(QChar c, int pixelSize) {
    const quint64 key = (static_cast<quint64>(pixelSize) << 32) | c.unicode();
    const auto found = FGlyphs.constFind(key);
    if (found != FGlyphs.constEnd()) return *found;
    if (FGlyphs.size() >= kMaxGlyphs) FGlyphs.clear();
    QFont font = FValueFont;
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    TGlyph glyph;
    glyph.Advance = metrics.horizontalAdvance(c);
    // Only the ink (and a pixel round it) is kept: less to blend on every repaint.
    const QRect ink = metrics.boundingRect(c).adjusted(-1, -1, 1, 1);
    glyph.Offset = QPoint(ink.left(), metrics.ascent() + ink.top());
    glyph.Image = QImage(std::max(1, ink.width()), std::max(1, ink.height()), QImage::Format_ARGB32_Premultiplied);
    glyph.Image.fill(Qt::transparent);
    QPainter gp(&glyph.Image);
    gp.setFont(font);
    gp.setPen(QColor::fromRgb(FGlyphColor));
    gp.drawText(-ink.left(), -ink.top(), QString(c));
    gp.end();
    return *FGlyphs.insert(key, std::move(glyph));
}

void TValueArea::DrawValueText(QPainter& p, const QString& text, int right, int top, int pixelSize) {
    const QRgb color = palette().color(QPalette::WindowText).rgb();
    if (color != FGlyphColor) {
        FGlyphs.clear();
        FGlyphColor = color;
    }
    int width = 0;
    for (const QChar c : text) width += Glyph(c, pixelSize).Advance;
    int x = right - width;
    for (const QChar c : text) {
        const TGlyph& glyph = Glyph(c, pixelSize);
        p.drawImage(x + glyph.Offset.x(), top + glyph.Offset.y(), glyph.Image);
        x += glyph.Advance;
    }
}

void TValueArea::PaintTo(QPainter& p) {
    p.fillRect(rect(), FColor);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    if (FLayout.RowCount() == 0) {
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Right click to add a row"));
        return;
    }
    for (int r = 0; r < FLayout.RowCount(); ++r) {
        if (FLayout.CellCount(r) == 0) {
            p.setFont(font());
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(ToQRect(FLayout.RowRect(r, width(), height())), Qt::AlignCenter,
                       QStringLiteral("Right click to add a cell"));
            continue;
        }
        for (int c = 0; c < FLayout.CellCount(r); ++c) PaintCell(p, CellRect(r, c), FLayout.CellId(r, c));
    }
}

void TValueArea::PaintCell(QPainter& p, const QRect& rect, int id) {
    const QRect client = rect.adjusted(kValueCellBorder, kValueCellBorder, -kValueCellBorder, -kValueCellBorder);
    if (id == kEmptyCellId || client.width() <= 0 || client.height() <= 0) return;
    if (id == kLogoCellId) {
        PaintLogo(p, client);
        return;
    }
    const TValueItem* item = nullptr;
    if (IsPreview && PreviewDialog)
        item = &PreviewDialog->Item;
    else if (FData)
        item = FData->FindItem(id);
    if (!item) return; // no data, or an item the data does not define: an empty cell
    p.save();
    p.translate(client.topLeft());
    p.setClipRect(QRect(0, 0, client.width(), client.height()));
    PaintItem(p, client, *item);
    p.restore();
}

void TValueArea::PaintLogo(QPainter& p, const QRect& client) {
    const auto* logo = FData ? dynamic_cast<const TValueLogoImage*>(FData->Logo.get()) : nullptr;
    if (!logo || logo->Width() <= 0) {
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(client.left() + 10, client.top() + 10 + p.fontMetrics().ascent(), QStringLiteral("LOGO"));
        return;
    }
    const int w = logo->Width();
    const int h = logo->Height();
    const TValueRect t = LogoTarget(FData->LogoPosition, client.width(), client.height(), w, h);
    QRect target = FData->LogoPosition == TLogoPosition::lpStretch
                       ? QRect(0, 0, client.width(), client.height())
                       : QRect(t.Left, t.Top, t.Right - t.Left + 1, t.Bottom - t.Top + 1);
    target.translate(client.topLeft());
    QImage image = logo->Image;
    switch (FData->LogoMode) {
    case TLogoMode::lmOpaque:
        FData->Logo->Transparent = false;
        image = image.convertToFormat(QImage::Format_RGB32);
        break;
    case TLogoMode::lmTransparant:
        FData->Logo->Transparent = true;
        break;
    case TLogoMode::lmFill:
        p.fillRect(client, image.pixelColor(0, h - 1));
        break;
    }
    p.save();
    p.setClipRect(client);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, image);
    p.restore();
}

void TValueArea::PaintItem(QPainter& p, const QRect& client, const TValueItem& item) {
    const QFontMetrics cellMetrics(font());
    const int th = cellMetrics.height();
    const QString measureText = FormatValue(item.Format, std::max(item.Max, item.Value));
    const int measureCx = MeasureWidth(measureText);
    const TValueCellPlan plan =
        PlanValueCell(item, client.width(), client.height(), th, measureCx, FMeasureHeight);
    if (!plan.Visible) return;
    const QPalette& pal = palette();
    const std::array<TColor, kValueColorCount>& colors =
        FData ? FData->Colors : std::array<TColor, kValueColorCount>{};
    const auto color = [&](int i) { return ValueColor(colors[static_cast<std::size_t>(i)], pal); };

    FrameRect(p, plan.LightFrame, pal.color(QPalette::Light));
    FrameRect(p, plan.DarkFrame, pal.color(QPalette::Mid));
    const TValueRect& in = plan.Inner;
    const QRect inner = ToQRect(in);
    if (inner.isEmpty()) return;
    p.fillRect(inner, FColor);

    if (plan.Bar) {
        p.fillRect(QRect(in.Left, in.Top, plan.BarX - in.Left, in.Height()), color(0));
        p.fillRect(QRect(plan.BarX, in.Top, in.Right - plan.BarX, in.Height()), color(1));
        p.setPen(QPen(color(2), 1));
        for (int x : plan.BarGridX) p.drawLine(x, in.Top, x, in.Bottom - 1);
        // Wide straight lines as rectangles: the same pixels without the stroker.
        if (plan.BarAvg) p.fillRect(QRect(plan.BarAvgX - 1, in.Top + 1, 3, in.Height() - 3), color(3));
    }
    if (plan.History) {
        const int left = plan.Plot.Left + 2;
        const int right = plan.Plot.Right - 2;
        p.setPen(QPen(color(5), 1));
        for (int y : plan.HistoryGridY) p.drawLine(left, y, right, y);
        if (plan.HistoryAvg) p.fillRect(QRect(left, plan.HistoryAvgY - 1, right - left, 2), color(6));
        QPoint points[kValueHistoryLength];
        for (int i = 0; i < kValueHistoryLength; ++i)
            points[i] = QPoint(plan.HistoryPoints[static_cast<std::size_t>(i)].X,
                               plan.HistoryPoints[static_cast<std::size_t>(i)].Y);
        p.setPen(QPen(color(4), 2, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        p.drawPolyline(points, kValueHistoryLength);
    }

    p.save();
    p.setClipRect(inner, Qt::IntersectClip);
    p.setPen(pal.color(QPalette::WindowText));
    if (plan.MinMax) {
        p.setFont(font());
        const QString maxText = FormatValue(item.Format, item.Max);
        const int cx = cellMetrics.horizontalAdvance(maxText);
        const int cy = cellMetrics.height();
        const int ascent = cellMetrics.ascent();
        p.drawText(4, in.Top + 2 + ascent, maxText);
        if (cy > 0 && in.Height() / static_cast<double>(cy) > 3) {
            const QString avg = FormatValue(item.Format, item.Average);
            p.drawText(cx + 4 - cellMetrics.horizontalAdvance(avg), in.Top + (in.Height() - th) / 2 + ascent, avg);
        }
        if (cy > 0 && in.Height() / static_cast<double>(cy) > 2) {
            const QString min = FormatValue(item.Format, item.Min);
            p.drawText(cx + 4 - cellMetrics.horizontalAdvance(min), in.Bottom - 2 - th + ascent, min);
        }
    }
    if (plan.ValueFontSize > 0) {
        const int h = Nint(FMeasureHeight * static_cast<double>(plan.ValueFontSize) / kValueMeasureSize);
        DrawValueText(p, FormatValue(item.Format, item.Value), in.Right - 4, in.Top + (in.Height() - h) / 2,
                      plan.ValueFontSize);
    }
    p.restore();

    if (!item.Caption.isEmpty()) {
        p.setFont(font());
        const int w = cellMetrics.horizontalAdvance(item.Caption);
        p.fillRect(QRect(8, 0, std::min(w, client.width() - 8), th), FColor);
        p.setPen(pal.color(QPalette::WindowText));
        p.drawText(QRect(8, 0, client.width() - 8, th), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   item.Caption);
    }
}
