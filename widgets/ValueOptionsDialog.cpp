#include "widgets/ValueOptionsDialog.h"

#include "widgets/UiUtils.h"
#include "widgets/ValueArea.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TfrmValueOptions::TfrmValueOptions(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    gbxItem = new QGroupBox(this);
    auto* item = new QGridLayout(gbxItem);
    const auto check = [&](const QString& caption, std::uint8_t bit, int row, int column) {
        auto* box = new QCheckBox(caption, gbxItem);
        item->addWidget(box, row, column);
        connect(box, &QCheckBox::clicked, this, [this, box, bit] { CheckClicked(box, bit); });
        return box;
    };
    cbxBar = check(QStringLiteral("&Bar"), vfBar, 0, 0);
    cbxBarGrid = check(QStringLiteral("&Grid"), vfBarGrid, 0, 1);
    cbxBarAvg = check(QStringLiteral("A&verage"), vfBarAvg, 0, 2);
    cbxHistory = check(QStringLiteral("&History"), vfHistory, 1, 0);
    cbxHistoryGrid = check(QStringLiteral("Gri&d"), vfHistoryGrid, 1, 1);
    cbxHistoryAvg = check(QStringLiteral("Av&erage"), vfHistoryAvg, 1, 2);
    cbxHistoryLeft = check(QStringLiteral("&Left"), vfHistoryLeft, 1, 3);
    cbxMinMax = check(QStringLiteral("&Min / Max"), vfMinMax, 2, 0);
    const auto edit = [&](const QString& caption, int column) {
        auto* e = new QLineEdit(gbxItem);
        auto* label = new QLabel(caption, gbxItem);
        label->setBuddy(e);
        item->addWidget(label, 3, column);
        item->addWidget(e, 4, column);
        connect(e, &QLineEdit::editingFinished, this, [this, e] { EditExit(e); });
        return e;
    };
    edtMin = edit(QStringLiteral("M&inimum"), 0);
    edtMax = edit(QStringLiteral("M&aximum"), 1);
    edtStep = edit(QStringLiteral("&Step"), 2);

    const auto button = [&](QGroupBox* box, QHBoxLayout* row, const QString& caption, int index) {
        auto* b = new QPushButton(caption, box);
        b->setAutoDefault(false);
        row->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, index] { ColorClicked(index); });
        return b;
    };
    gbxBar = new QGroupBox(QStringLiteral("Ba&r colors"), this);
    auto* barRow = new QHBoxLayout(gbxBar);
    btnBarLeft = button(gbxBar, barRow, QStringLiteral("Left"), 0);
    btnBarRight = button(gbxBar, barRow, QStringLiteral("Right"), 1);
    btnBarGrid = button(gbxBar, barRow, QStringLiteral("Grid"), 2);
    btnBarAvg = button(gbxBar, barRow, QStringLiteral("Avg."), 3);
    gbxHistory = new QGroupBox(QStringLiteral("Histor&y colors"), this);
    auto* historyRow = new QHBoxLayout(gbxHistory);
    btnHistoryGraph = button(gbxHistory, historyRow, QStringLiteral("Graph"), 4);
    btnHistoryGrid = button(gbxHistory, historyRow, QStringLiteral("Grid"), 5);
    btnHistoryAverage = button(gbxHistory, historyRow, QStringLiteral("Avg."), 6);

    gbxPreview = new QGroupBox(QStringLiteral("Preview"), this);
    auto* previewLayout = new QVBoxLayout(gbxPreview);
    pnlPreview = new QWidget(gbxPreview);
    pnlPreview->setMinimumSize(240, 110);
    previewLayout->addWidget(pnlPreview);
    auto* pnlLayout = new QVBoxLayout(pnlPreview);
    pnlLayout->setContentsMargins(0, 0, 0, 0);

    btbCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btbCancel->setToolTip(QStringLiteral("Cancel changes"));
    btbOk = new QPushButton(QStringLiteral("&OK"), this);
    btbOk->setToolTip(QStringLiteral("Accept changes"));
    btbOk->setDefault(true);
    connect(btbOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btbCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btbCancel);
    buttons->addWidget(btbOk);

    auto* colours = new QHBoxLayout;
    colours->addWidget(gbxBar);
    colours->addWidget(gbxHistory);
    auto* main = new QVBoxLayout(this);
    main->addWidget(gbxItem);
    main->addLayout(colours);
    main->addWidget(gbxPreview, 1);
    main->addLayout(buttons);

    ChooseColor = [this](QColor& color) {
        QColorDialog dialog(color, this);
        dialog.setOption(QColorDialog::ShowAlphaChannel, false);
        if (dialog.exec() != QDialog::Accepted) return false;
        color = dialog.selectedColor();
        return true;
    };

    // The preview repaints once right after showing.
    tmrPreview = new QTimer(this);
    tmrPreview->setInterval(1);
    tmrPreview->setSingleShot(true);
    connect(tmrPreview, &QTimer::timeout, this, &TfrmValueOptions::RefreshPreview);

    if (auto* area = qobject_cast<TValueArea*>(parent)) {
        CreatePreview(area);
        area->Update();
    }
}

TfrmValueOptions::~TfrmValueOptions() {
    // The preview detaches from the data on its way out.
    delete Preview;
}

void TfrmValueOptions::CreatePreview(TValueArea* area) {
    delete Preview;
    Data = area->Data();
    Preview = new TValueArea(pnlPreview);
    Preview->IsPreview = true;
    Preview->PreviewDialog = this;
    pnlPreview->layout()->addWidget(Preview);
    Preview->SetData(Data); // no menu: previews have none
    area->Update();
}

void TfrmValueOptions::SetAppearance(const QFont& font, const QColor& editFontColor, const QColor& editColor,
                                     const QColor& color) {
    setFont(font);
    QPalette back = palette();
    back.setColor(QPalette::Window, color);
    setPalette(back);
    setAutoFillBackground(true);
    for (QLineEdit* e : {edtMin, edtMax, edtStep}) {
        QPalette p = e->palette();
        p.setColor(QPalette::Base, editColor);
        SetEnabledColor(p, QPalette::Text, editFontColor);
        e->setPalette(p);
    }
    for (QPushButton* b : {btbOk, btbCancel}) {
        QPalette p = b->palette();
        SetEnabledColor(p, QPalette::ButtonText, Qt::black);
        b->setPalette(p);
    }
    if (Preview) Preview->UpdateAppearance(font, editFontColor, editColor, color);
}

void TfrmValueOptions::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
    tmrPreview->start();
}

void TfrmValueOptions::FormShow() {
    if (Preview) {
        Preview->Layout().Clear();
        Preview->Layout().AddRow();
        Preview->Layout().AddCell(0, Item.ID);
    }
    gbxItem->setTitle(QStringLiteral("%1 : %2").arg(Item.Caption, Item.Hint));
    const std::pair<QCheckBox*, std::uint8_t> boxes[] = {
        {cbxBar, vfBar},         {cbxBarGrid, vfBarGrid},         {cbxBarAvg, vfBarAvg},
        {cbxHistory, vfHistory}, {cbxHistoryGrid, vfHistoryGrid}, {cbxHistoryAvg, vfHistoryAvg},
        {cbxHistoryLeft, vfHistoryLeft}, {cbxMinMax, vfMinMax},
    };
    for (const auto& [box, bit] : boxes) box->setChecked((Item.Flags & bit) != 0);
    edtMin->setText(FormatValue(Item.Format, Item.Min));
    edtMax->setText(FormatValue(Item.Format, Item.Max));
    edtStep->setText(FormatValue(Item.Format, Item.Step));
    ApplyEnabling();
    // The colour dialog offers the dialog colour as its first custom colour, and no other.
    QColorDialog::setCustomColor(0, palette().color(QPalette::Button));
    for (int i = 1; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, Qt::white);
    RefreshPreview();
}

void TfrmValueOptions::ApplyEnabling() {
    cbxBarGrid->setEnabled(cbxBar->isChecked());
    cbxBarAvg->setEnabled(cbxBar->isChecked());
    cbxHistoryGrid->setEnabled(cbxHistory->isChecked());
    cbxHistoryAvg->setEnabled(cbxHistory->isChecked());
    cbxHistoryLeft->setEnabled(cbxHistory->isChecked());
}

void TfrmValueOptions::CheckClicked(QCheckBox* box, std::uint8_t bit) {
    if (box->isChecked())
        Item.Flags |= bit;
    else
        Item.Flags &= static_cast<std::uint8_t>(~bit);
    ApplyEnabling();
    RefreshPreview();
}

double* TfrmValueOptions::FieldOf(QLineEdit* edit) {
    if (edit == edtMin) return &Item.Min;
    if (edit == edtMax) return &Item.Max;
    if (edit == edtStep) return &Item.Step;
    return nullptr;
}

void TfrmValueOptions::EditExit(QLineEdit* edit) {
    double* field = FieldOf(edit);
    if (!field) return;
    double value = 0;
    if (TryParseValue(Item.Format, edit->text(), value))
        *field = value;
    else
        edit->setText(FormatValue(Item.Format, *field));
    RefreshPreview();
}

void TfrmValueOptions::done(int result) {
    // An edit still holding the focus has not been left yet.
    if (result == QDialog::Accepted)
        for (QLineEdit* e : {edtMin, edtMax, edtStep})
            if (e->isModified() || e->hasFocus()) EditExit(e);
    QDialog::done(result);
}

void TfrmValueOptions::ColorClicked(int index) {
    if (!Data || index < 0 || index >= kValueColorCount) return;
    TColor& stored = Data->Colors[static_cast<std::size_t>(index)];
    QColor color = ValueColor(stored, palette());
    if (!ChooseColor || !ChooseColor(color)) return;
    // Colours belong to the data: they stay whether the dialog ends with OK or Cancel.
    stored = QColorToColorRef(color);
    Data->UpdateAreas();
    RefreshPreview();
}

void TfrmValueOptions::RefreshPreview() {
    if (Preview) Preview->Update();
}
