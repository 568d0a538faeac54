#include "shell/AboutWindow.h"

#include "foundation/core/AppUtils.h"
#include "widgets/UiUtils.h"
#include "shell/MainWindow.h"
#include "shell/SplashWindow.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace {

const char* const kVersionKeys[] = {"CompanyName",  "FileDescription",  "FileVersion", "InternalName",
                                    "LegalCopyright", "LegalTrademarks", "OriginalFilename", "ProductName",
                                    "ProductVersion", "SpecialBuild",    "Comments",    "Website",
                                    "Email",        "DevelopedBy"};

QTableWidget* NewGrid(QWidget* parent)
{
    auto* grid = new QTableWidget(0, 2, parent);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setDefaultSectionSize(150);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    return grid;
}

QWidget* NewPage(const QString& caption, QTableWidget* grid)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(caption, page));
    layout->addWidget(grid, 1);
    return page;
}

QString Cell(const QTableWidget* grid, int row, int col)
{
    const QTableWidgetItem* item = grid->item(row, col);
    return item ? item->text() : QString();
}

}  // namespace

void AddGridRow(const QString& name, const QString& value, QTableWidget* grid)
{
    if (!grid)
        return;
    if (grid->rowCount() == 0)
        grid->setRowCount(1);
    else if (!Cell(grid, grid->rowCount() - 1, 0).isEmpty())
        grid->setRowCount(grid->rowCount() + 1);
    const int row = grid->rowCount() - 1;
    grid->setItem(row, 0, new QTableWidgetItem(name));
    grid->setItem(row, 1, new QTableWidgetItem(value));
}

QString FormatDuration(double days)
{
    if (!(days > 0.0) || days >= 65536.0)
        return QStringLiteral("?");
    const double whole = std::floor(days);
    // Whole seconds of the fraction, ties to even like every rounding of the program.
    long long seconds = static_cast<long long>(std::nearbyint((days - whole) * 86400.0));
    long long dayCount = static_cast<long long>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++dayCount;
    }
    const QString time = QStringLiteral("%1:%2:%3")
                             .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                             .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (dayCount == 0)
        return time;
    return QStringLiteral("%1 days, %2").arg(dayCount).arg(time);
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About"));
    OnOpenDocument = [](const QString& link) { return OpenDocument(link); };
    FDesignColor = palette().color(QPalette::Window);
    FDesignFont = font();
    if (ThemesActive()) {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, GetDialogColor());
        setPalette(pal);
    }

    pgcAbout = new QTabWidget(this);
    const QPixmap picture = SplashPicture();
    auto* general = new QWidget;
    general->setAutoFillBackground(true);
    QPalette generalPal = general->palette();
    generalPal.setColor(QPalette::Window, picture.toImage().pixelColor(0, picture.height() - 1));
    general->setPalette(generalPal);
    imgAbout = new QLabel(general);
    imgAbout->setPixmap(picture);
    imgIcon = new QLabel(general);
    imgIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    pnlName = new QLabel(ApplicationTitle(), general);
    pnlName->setAlignment(Qt::AlignCenter);
    pnlName->setAutoFillBackground(true);
    pnlWebsite = new QLabel(general);
    pnlWebsite->setAlignment(Qt::AlignCenter);
    pnlWebsite->setAutoFillBackground(true);
    pnlWebsite->installEventFilter(this);
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(imgAbout, 0, Qt::AlignHCenter);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(imgIcon);
    nameRow->addWidget(pnlName, 1);
    generalLayout->addLayout(nameRow);
    generalLayout->addWidget(pnlWebsite);
    generalLayout->addStretch(1);
    pgcAbout->addTab(general, tr("General"));

    stgVersion = NewGrid(this);
    stgVersion->setMouseTracking(true);
    stgVersion->viewport()->installEventFilter(this);
    connect(stgVersion, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { stgVersionDblClick(row); });
    stgCredits = NewGrid(this);
    stgStatistics = NewGrid(this);
    pgcAbout->addTab(NewPage(tr("Version information"), stgVersion), tr("&Version"));
    pgcAbout->addTab(NewPage(tr("This software has been built with the help of"), stgCredits), tr("&Credits"));
    pgcAbout->addTab(NewPage(tr("Program usage statistics"), stgStatistics), tr("&Statistics"));

    AddGridRow(tr("Window library"), QStringLiteral("Qt ") + QString::fromLatin1(qVersion()), stgCredits);
    AddGridRow(tr("Charts"), QStringLiteral("QCustomPlot"), stgCredits);
    AddGridRow(tr("Tests"), QStringLiteral("GoogleTest"), stgCredits);
    AddGridRow(tr("Fonts"), QStringLiteral("Liberation"), stgCredits);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Horizontal, this);
    buttons->setCenterButtons(true);
    btbOk = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(pgcAbout, 1);
    layout->addWidget(buttons);
    resize(picture.width() + 26, picture.height() + 220);
}

void TfrmAbout::FillVersion()
{
    stgVersion->setRowCount(0);
    for (const char* key : kVersionKeys)
        AddGridRow(QString::fromLatin1(key), GetVersionInfoValue(QString::fromLatin1(key)), stgVersion);
    const QString website = GetVersionInfoValue(QStringLiteral("Website"));
    pnlWebsite->setText(website);
    pnlWebsite->setCursor(website.isEmpty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
}

void TfrmAbout::showEvent(QShowEvent* event)
{
    pgcAbout->setCurrentIndex(0);
    pgcAbout->setTabText(0, tr("General"));
    FillVersion();
    FitColumns();
    QDialog::showEvent(event);
}

void TfrmAbout::FitColumns()
{
    for (QTableWidget* grid : {stgVersion, stgCredits, stgStatistics}) {
        const int width = std::max(100, pgcAbout->width() - 24);
        grid->setColumnWidth(0, width * 2 / 5);
        grid->setColumnWidth(1, width - width * 2 / 5);
    }
}

QString TfrmAbout::LinkOfRow(int row) const
{
    const QString name = Cell(stgVersion, row, 0);
    const QString value = Cell(stgVersion, row, 1).trimmed();
    if (value.isEmpty())
        return {};
    if (name == QLatin1String("Email"))
        return QStringLiteral("mailto:") + value;
    if (name == QLatin1String("Website") || name == QLatin1String("DevelopedBy"))
        return QStringLiteral("http://") + value;
    return {};
}

bool TfrmAbout::stgVersionDblClick(int row)
{
    const QString link = LinkOfRow(row);
    if (link.isEmpty())
        return false;
    if (OnOpenDocument)
        OnOpenDocument(link);
    return true;
}

void TfrmAbout::pnlWebsiteClick()
{
    const QString website = GetVersionInfoValue(QStringLiteral("Website")).trimmed();
    if (!website.isEmpty() && OnOpenDocument)
        OnOpenDocument(QStringLiteral("http://") + website);
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (pnlWebsite && watched == pnlWebsite && event->type() == QEvent::MouseButtonRelease) {
        pnlWebsiteClick();
        return true;
    }
    if (stgVersion && watched == stgVersion->viewport() && event->type() == QEvent::MouseMove) {
        const int row = stgVersion->rowAt(static_cast<QMouseEvent*>(event)->position().toPoint().y());
        stgVersion->viewport()->setCursor(row >= 0 && !LinkOfRow(row).isEmpty() ? Qt::PointingHandCursor
                                                                                  : Qt::ArrowCursor);
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                          const QColor& windowColor)
{
    QFont f = font;
    setFont(f);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ThemesActive() ? windowColor : FDesignColor);
    setPalette(pal);
    for (QTableWidget* grid : {stgVersion, stgCredits, stgStatistics}) {
        QPalette gp = grid->palette();
        gp.setColor(QPalette::Base, backColor);
        SetEnabledColor(gp, QPalette::Text, textColor);
        grid->setPalette(gp);
        grid->verticalHeader()->setDefaultSectionSize(std::max(20, 2 * QFontInfo(f).pixelSize()));
    }
    QPalette okPal = btbOk->palette();
    SetEnabledColor(okPal, QPalette::ButtonText, Qt::black);
    btbOk->setPalette(okPal);
    QFont bold = f;
    bold.setBold(true);
    pnlName->setFont(bold);
    QPalette webPal = pnlWebsite->palette();
    webPal.setColor(QPalette::Window, windowColor);
    pnlWebsite->setPalette(webPal);
    // The panels take the dialog's text colour; without themes one that would vanish in the
    // panel's own background is turned to its opposite.
    const QColor text = palette().color(QPalette::Active, QPalette::WindowText);
    const bool themes = ThemesActive();
    for (QLabel* panel : {pnlName, pnlWebsite}) {
        QPalette p = panel->palette();
        const bool vanishes = !themes && text == p.color(QPalette::Active, QPalette::Window);
        SetEnabledColor(p, QPalette::WindowText, vanishes ? ColorRefToQColor(InvertColor(QColorToColorRef(text))) : text);
        panel->setPalette(p);
    }
}
