#include "session/NewSessionDialog.h"

#include "foundation/files/FileIo.h"
#include "foundation/files/TrainingFiles.h"
#include "platform/CodePage.h"
#include "shell/MainWindow.h"
#include "shell/UiPrompt.h"
#include "widgets/UiUtils.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

constexpr int kClientWidth = 289;
constexpr int kDesignRowHeight = 25;
constexpr int kSpacerHeight = 8;
constexpr int kButtonMargin = 15;  // the button panel is this much higher than a row
constexpr int kMaxText = 250;
constexpr std::size_t kMaxStoredText = 255;
constexpr int kLabelWidth = 64;

template <std::size_t N>
QStringList ItemsOf(const std::array<std::string_view, N>& table) {
    // A table whose first entry is "-" starts at its second, so item i stands for value i.
    QStringList items;
    for (std::size_t i = table[0] == "-" ? 1 : 0; i < N; ++i)
        items << QString::fromLatin1(table[i].data(), qsizetype(table[i].size()));
    return items;
}

std::string StoredText(const QString& text) {
    std::string bytes = QStringToCp1252(text);
    if (bytes.size() > kMaxStoredText)
        bytes.resize(kMaxStoredText);
    return bytes;
}

// A row panel with its label at the left; the control goes into the returned layout.
QHBoxLayout* MakeRow(QWidget* row, QLabel* label) {
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(8, 0, 8, 0);
    layout->setSpacing(8);
    label->setFixedWidth(kLabelWidth);
    layout->addWidget(label);
    return layout;
}

}  // namespace

TfrmNewRow::TfrmNewRow(QWidget* parent) : TFormDialog(parent) {
    setWindowTitle(QStringLiteral("New row window"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* rows = new QVBoxLayout(Client);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    const auto addPanel = [&](int height) {
        auto* panel = new QWidget(Client);
        panel->setFixedHeight(height);
        rows->addWidget(panel);
        return panel;
    };
    const auto addEdit = [&](QWidget*& panel, QLabel*& label, const char* caption) {
        panel = addPanel(kDesignRowHeight);
        label = new QLabel(QString::fromLatin1(caption), panel);
        auto* edit = new QLineEdit(panel);
        MakeRow(panel, label)->addWidget(edit, 1);
        label->setBuddy(edit);
        return edit;
    };
    const auto addCombo = [&](QWidget*& panel, QLabel*& label, const char* caption,
                              const QStringList& items) {
        panel = addPanel(kDesignRowHeight);
        label = new QLabel(QString::fromLatin1(caption), panel);
        auto* combo = new QComboBox(panel);
        combo->addItems(items);
        MakeRow(panel, label)->addWidget(combo, 1);
        label->setBuddy(combo);
        return combo;
    };

    pnlTop = addPanel(kSpacerHeight);
    edtTitle = addEdit(pnlTitle, lblTitle, "&Title");
    edtName = addEdit(pnlName, lblName, "&Name");
    pnlWeight = addPanel(kDesignRowHeight);
    lblWeight = new QLabel(QStringLiteral("&Weight"), pnlWeight);
    edtWeight = new QLineEdit(pnlWeight);
    edtWeight->setFixedWidth(56);
    lblKgs = new QLabel(QStringLiteral("Kgs"), pnlWeight);
    QHBoxLayout* weightRow = MakeRow(pnlWeight, lblWeight);
    weightRow->addWidget(edtWeight);
    weightRow->addWidget(lblKgs);
    weightRow->addStretch(1);
    lblWeight->setBuddy(edtWeight);
    cmbGender = addCombo(pnlGender, lblGender, "&Gender", ItemsOf(GenderNames));
    cmbBoat = addCombo(pnlBoat, lblBoat, "&Boat", ItemsOf(BoatNames));
    cmbSprocket = addCombo(pnlSprocket, lblSprocket, "&Sprocket", ItemsOf(SprocketNames));
    pnlBottom = addPanel(kSpacerHeight);
    rows->addStretch(1);

    edtTitle->setMaxLength(kMaxText);
    edtName->setMaxLength(kMaxText);
    connect(edtWeight, &QLineEdit::textEdited, this, [this] { MarkWeight(false); });

    // "O&pen ..." at the left of the button panel, OK and Cancel at its right.
    btnOpen = new QPushButton(QStringLiteral("O&pen ..."), pnlButtons);
    btnOpen->setFixedSize(90, 25);
    if (auto* column = qobject_cast<QVBoxLayout*>(pnlButtons->layout()))
        if (auto* row = qobject_cast<QHBoxLayout*>(column->itemAt(1)->layout())) {
            row->insertSpacing(0, 8);
            row->insertWidget(1, btnOpen, 0, Qt::AlignVCenter);
        }
    connect(btnOpen, &QPushButton::clicked, this, [this] { btnOpenClick(); });

    setTabOrder(edtTitle, edtName);
    setTabOrder(edtName, edtWeight);
    setTabOrder(edtWeight, cmbGender);
    setTabOrder(cmbGender, cmbBoat);
    setTabOrder(cmbBoat, cmbSprocket);
    setTabOrder(cmbSprocket, btnOpen);
    setTabOrder(btnOpen, btbOk);

    AskOpenFileName = [this](const QStringList& filters, int selected, const QString& folder) {
        QFileDialog dialog(this, QStringLiteral("Open user file"), folder);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters(filters);
        if (selected >= 0 && selected < filters.size())
            dialog.selectNameFilter(filters[selected]);
        dialog.setDefaultSuffix(TableText(FileFormatNames, kFileFormatIni).toLower());
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    };

    LoadDefaultTraining(Training);
    resize(kClientWidth, 236);
    SetColors(font(), palette().color(QPalette::Text), DesignColor, palette().color(QPalette::Base));
}

// ---------------------------------------------------------------- show and OK

void TfrmNewRow::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        FormShow();
    TFormDialog::showEvent(event);
    edtName->setFocus();
}

void TfrmNewRow::FormShow() {
    // A user file loaded for this showing is what the rower chose: it is kept.
    if (!FLoadedForShow) {
        LoadDefaultTraining(Training);
        TStgHeader& h = Training.Header;
        h.FileFormat = kFileFormatStg;
        h.ContentKind = kContentKindRow;
        h.FileName = "?";
        h.Modified = 0;
    }
    FLoadedForShow = false;
    MarkWeight(false);
    FillControls();
}

void TfrmNewRow::FillControls() {
    const TStgHeader& h = Training.Header;
    edtTitle->setText(Cp1252ToQString(h.Title));
    edtName->setText(Cp1252ToQString(h.Name));
    edtWeight->setText(QString::number(Training.Ini.Weight));
    cmbGender->setCurrentIndex(Training.Ini.Gender < cmbGender->count() ? Training.Ini.Gender : -1);
    cmbBoat->setCurrentIndex(Training.Ini.Boat < cmbBoat->count() ? Training.Ini.Boat : -1);
    cmbSprocket->setCurrentIndex(Training.Ini.Sprocket < cmbSprocket->count() ? Training.Ini.Sprocket
                                                                              : -1);
    for (QWidget* w : {static_cast<QWidget*>(edtTitle), static_cast<QWidget*>(edtName),
                       static_cast<QWidget*>(edtWeight), static_cast<QWidget*>(cmbGender),
                       static_cast<QWidget*>(cmbBoat), static_cast<QWidget*>(cmbSprocket),
                       static_cast<QWidget*>(btnOpen)})
        w->setEnabled(true);
}

void TfrmNewRow::MarkWeight(bool bad) {
    edtWeight->setStyleSheet(bad ? QStringLiteral("QLineEdit { background: #ffc8c8; }") : QString());
}

bool TfrmNewRow::btbOkClick() {
    // Checked before anything is taken: a bad weight changes nothing and keeps the dialog open.
    bool ok = false;
    const int weight = edtWeight->text().trimmed().toInt(&ok);
    if (!ok || weight < kMinWeight || weight > kMaxWeight) {
        MarkWeight(true);
        edtWeight->setFocus();
        edtWeight->selectAll();
        ShowMessageBox(this, QMessageBox::Warning,
                       QStringLiteral("\"%1\" is not a valid weight.\nPlease enter whole kilograms "
                                      "from %2 to %3.")
                           .arg(edtWeight->text())
                           .arg(kMinWeight)
                           .arg(kMaxWeight));
        return false;
    }
    MarkWeight(false);
    bool changed = false;
    const auto take = [&changed](auto& field, auto value) {
        if (field != value) {
            field = value;
            changed = true;
        }
    };
    take(Training.Ini.Weight, std::int32_t(weight));
    take(Training.Ini.Gender, std::int32_t(cmbGender->currentIndex()));
    take(Training.Ini.Boat, std::int32_t(cmbBoat->currentIndex()));
    take(Training.Ini.Sprocket, std::int32_t(cmbSprocket->currentIndex()));
    take(Training.Header.Title, StoredText(edtTitle->text()));
    take(Training.Header.Name, StoredText(edtName->text()));
    if (changed)
        Training.Header.Modified = 1;
    return true;
}

void TfrmNewRow::accept() {
    if (btbOkClick())
        TFormDialog::accept();
}

void TfrmNewRow::done(int result) {
    FLoadedForShow = false;
    TFormDialog::done(result);
}

// ---------------------------------------------------------------- user files

void TfrmNewRow::btnOpenClick() {
    LoadUserFile(QStringLiteral("?"));
}

bool TfrmNewRow::LoadUserFile(const QString& FileName) {
    QString name = FileName;
    if (QFileInfo(name).fileName() == QLatin1String("?")) {
        QString filter;
        int count = 0;
        BuildOpenFilter(FileFormatBit(kFileFormatStg) | FileFormatBit(kFileFormatIni), true, true,
                        filter, count, true);
        const QStringList filters = PromptFilterToQt(filter);
        const QString folder = frmMain ? frmMain->LastDir : QString();
        // The combined entry is the last before "All files".
        name = AskOpenFileName ? AskOpenFileName(filters, count - 1, folder) : QString();
        if (name.isEmpty())
            return false;
    }
    if (!QFileInfo(name).isFile())
        return false;

    // Read aside: a file that cannot be read or is no user file leaves the record as it was.
    TTraining loaded;
    if (!OpenTrainingFile(name, loaded, true))
        return false;  // the file layer has said why
    if (!IsUserContent(loaded) || !IsEmptyTraining(loaded)) {
        ShowMessageBox(this, QMessageBox::Critical,
                       QStringLiteral("File \"%1\" is not a valid User file.").arg(name));
        return false;
    }
    // The record's identity stays; what the file holds comes in.
    loaded.Magic = Training.Magic;
    loaded.Version = Training.Version;
    loaded.Id = Training.Id;
    loaded.Client.Address = Training.Client.Address;
    loaded.Client.Port = Training.Client.Port;
    Training = std::move(loaded);
    TStgHeader& h = Training.Header;
    h.FileFormat = kFileFormatStg;
    h.ContentKind = kContentKindRow;
    h.Date = Now();
    h.Modified = 1;
    if (h.FileName.empty())
        h.FileName = "?";
    if (frmMain)
        frmMain->LastDir = QFileInfo(name).absolutePath();
    FLoadedForShow = !isVisible();
    FillControls();
    return true;
}

// ---------------------------------------------------------------- look

int TfrmNewRow::RowHeightFor(const QFont& font) {
    const int textHeight = QFontMetrics(font).height();
    return textHeight > 16 ? textHeight + 13 : kDesignRowHeight;
}

void TfrmNewRow::SetColors(const QFont& font, const QColor& textColor, const QColor&,
                           const QColor& windowColor) {
    TFormDialog::SetColors(font, textColor, DesignColor, windowColor);
    QPalette pal = palette();
    SetEnabledColor(pal, QPalette::WindowText, QPalette().color(QPalette::WindowText));
    setPalette(pal);
    for (QWidget* w : {static_cast<QWidget*>(edtTitle), static_cast<QWidget*>(edtName),
                       static_cast<QWidget*>(edtWeight), static_cast<QWidget*>(cmbGender),
                       static_cast<QWidget*>(cmbBoat), static_cast<QWidget*>(cmbSprocket)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Base, windowColor);
        SetEnabledColor(p, QPalette::Text, textColor);
        w->setPalette(p);
        w->setFont(font);
    }
    btnOpen->setFont(font);
    // The labels' column takes the widest caption of this font.
    const QFontMetrics metrics(font);
    int labelWidth = kLabelWidth;
    for (QLabel* l : {lblTitle, lblName, lblWeight, lblGender, lblBoat, lblSprocket})
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(l->text().remove(QLatin1Char('&'))) + 8);
    for (QLabel* l : {lblTitle, lblName, lblWeight, lblGender, lblBoat, lblSprocket})
        l->setFixedWidth(labelWidth);
    const int h = RowHeightFor(font);
    for (QWidget* row : {pnlTitle, pnlName, pnlWeight, pnlGender, pnlBoat, pnlSprocket})
        row->setFixedHeight(h);
    pnlButtons->setFixedHeight(h + kButtonMargin);
    pnlButtonsResize();
    // The dialog fits its rows exactly.
    const int rowsHeight = 2 * kSpacerHeight + 6 * h;
    setFixedHeight(rowsHeight + pnlButtons->height());
    resize(std::max(width(), kClientWidth), rowsHeight + pnlButtons->height());
    update();
}

void TfrmNewRow::pnlButtonsResize() {
    const int h = pnlButtons->height() - kButtonMargin;
    pnlCancelOk->setFixedHeight(pnlButtons->height() - Bevel1->height());
    for (QPushButton* b : {btnOpen, btbOk, btbCancel}) {
        b->setFixedHeight(h);
        if (b != btnOpen)
            b->move(b->x(), (pnlCancelOk->height() - h) / 2);
    }
}

TfrmNewRow& NewRowDialog() {
    static QPointer<TfrmNewRow> dialog;
    if (!dialog) {
        dialog = new TfrmNewRow(frmMain);
        TakeMainLook(*dialog);
    }
    return *dialog;
}
