#include "shell/SplashWindow.h"

#include "foundation/core/AppUtils.h"
#include "shell/MainWindow.h"
#include "widgets/UiUtils.h"

#include <QApplication>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

int SplashDisplayTimeOverride = -1;

namespace {

QPointer<TfrmSplash> GSplash;

int DisplayTime(bool shortTime)
{
    if (SplashDisplayTimeOverride >= 0)
        return SplashDisplayTimeOverride;
    return shortTime ? 8000 : 10000;
}

}  // namespace

QPixmap SplashPicture()
{
    QPixmap picture(420, 240);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, picture.height());
    sky.setColorAt(0.0, QColor(0x1d, 0x3c, 0x6e));
    sky.setColorAt(1.0, QColor(0x2e, 0x8b, 0x9a));
    p.fillRect(picture.rect(), sky);
    // Water: a few waves, lighter towards the front.
    for (int i = 0; i < 5; ++i) {
        QPainterPath wave;
        const double base = 150 + i * 18;
        wave.moveTo(0, base);
        for (int x = 0; x <= picture.width(); x += 6)
            wave.lineTo(x, base + 5 * std::sin(x / 28.0 + i));
        wave.lineTo(picture.width(), picture.height());
        wave.lineTo(0, picture.height());
        wave.closeSubpath();
        p.fillPath(wave, QColor(0x20 + i * 12, 0x70 + i * 12, 0x90 + i * 10, 150));
    }
    // A force curve across the sky: the program's own trade mark.
    QPainterPath curve;
    curve.moveTo(40, 120);
    for (int x = 0; x <= 340; x += 4) {
        const double t = x / 340.0;
        curve.lineTo(40 + x, 120 - 80 * std::pow(std::sin(M_PI * t), 1.6) * (1.0 - 0.35 * t));
    }
    p.setPen(QPen(QColor(0xff, 0xc8, 0x3c), 4));
    p.drawPath(curve);
    QFont font(QStringLiteral("Liberation Sans"), 24, QFont::Bold);
    p.setFont(font);
    p.setPen(Qt::white);
    const QString name = GetProductName().isEmpty() ? QStringLiteral("Kavelo Training") : GetProductName();
    p.drawText(QRect(0, 16, picture.width(), 40), Qt::AlignHCenter, name);
    p.end();
    return picture;
}

TfrmSplash::TfrmSplash(QWidget* owner)
    : QDialog(owner, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setWindowTitle(tr("Loading ..."));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, GetDialogColor());
    setPalette(pal);

    pnlSplash = new QFrame(this);
    pnlSplash->setFrameShape(QFrame::Panel);
    pnlSplash->setFrameShadow(QFrame::Raised);
    pnlSplash->setLineWidth(2);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(pnlSplash);

    const QPixmap picture = SplashPicture();
    imgSplash = new QLabel(pnlSplash);
    imgSplash->setPixmap(picture);
    imgSplash->setFixedSize(picture.size());
    // The frame takes the picture's bottom-left colour, so the picture seems to fill it.
    pnlSplash->setAutoFillBackground(true);
    QPalette framePal = pnlSplash->palette();
    framePal.setColor(QPalette::Window, picture.toImage().pixelColor(0, picture.height() - 1));
    pnlSplash->setPalette(framePal);

    pnlTitle = new QWidget(pnlSplash);
    pnlTitle->setFixedHeight(34);
    imgIcon = new QLabel(pnlTitle);
    imgIcon->setFixedWidth(50);
    imgIcon->setAlignment(Qt::AlignCenter);
    imgIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    pnlName = new QLabel(ApplicationTitle(), pnlTitle);
    QFont bold = pnlName->font();
    bold.setBold(true);
    pnlName->setFont(bold);
    auto* title = new QHBoxLayout(pnlTitle);
    title->setContentsMargins(0, 0, 0, 0);
    title->addWidget(imgIcon);
    title->addWidget(pnlName, 1);

    pnlText = new QLabel(pnlSplash);
    pnlText->setMinimumHeight(20);
    pnlText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pnlText->setIndent(6);
    pbrParam = new QProgressBar(pnlSplash);
    pbrParam->setFixedHeight(16);
    // Maximum 0 would make a busy bar that animates for ever: an empty bar instead.
    pbrParam->setRange(0, 1);
    pbrParam->setValue(0);
    pbrParam->setTextVisible(false);
    lblVersion = new QLabel(GetProductTitle() + QLatin1Char(' '), pbrParam);
    lblVersion->move(1, 1);
    QFont small = lblVersion->font();
    small.setPixelSize(std::max(6, pbrParam->height() - 4));
    lblVersion->setFont(small);
    lblVersion->adjustSize();

    auto* inner = new QVBoxLayout(pnlSplash);
    inner->setContentsMargins(8, 8, 8, 8);
    inner->setSpacing(2);
    inner->addWidget(imgSplash, 0, Qt::AlignHCenter);
    inner->addWidget(pnlTitle);
    inner->addWidget(pnlText);
    inner->addWidget(pbrParam);
    setFixedSize(picture.width() + 18,
                 picture.height() + 20 + pnlTitle->height() + pnlText->minimumHeight() + pbrParam->height());

    tmrSplash = new QTimer(this);
    tmrSplash->setSingleShot(true);
    tmrSplash->setInterval(DisplayTime(false));
    tmrVersion = new QTimer(this);
    tmrVersion->setSingleShot(true);
    connect(tmrVersion, &QTimer::timeout, lblVersion, &QWidget::hide);
    connect(tmrSplash, &QTimer::timeout, this, [this] {
        FTimeUp = true;
        if (FLoop)
            FLoop->quit();
    });
}

int TfrmSplash::exec()
{
    // Our own loop: the time may be up before a dialog's loop would have started.
    FModal = true;
    FTimeUp = false;
    setWindowModality(Qt::ApplicationModal);
    show();
    QPointer<TfrmSplash> alive(this);
    if (!FTimeUp) {
        QEventLoop loop;
        FLoop = &loop;
        loop.exec(QEventLoop::DialogExec);
        if (alive)
            FLoop = nullptr;
    }
    if (!alive)
        return QDialog::Rejected;
    FModal = false;
    hide();
    return FTimeUp ? QDialog::Accepted : QDialog::Rejected;
}

void TfrmSplash::EndModal()
{
    if (FLoop)
        FLoop->quit();
}

void TfrmSplash::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QWidget* screenOwner = parentWidget(); screenOwner && screenOwner->screen())
        move(screenOwner->screen()->geometry().center() - rect().center());
    tmrVersion->setInterval(tmrSplash->interval() / 2);
    tmrVersion->start();
    tmrSplash->start();
}

TfrmSplash* CurrentSplash()
{
    return GSplash;
}

void ShowSplash(QWidget* owner, const QFont& font, const QColor& color, int progressMax)
{
    HideSplash();
    auto* splash = new TfrmSplash(owner);
    splash->setAttribute(Qt::WA_DeleteOnClose, false);
    GSplash = splash;
    splash->ProgressMax = std::max(0, progressMax);
    splash->pbrParam->setRange(0, std::max(1, splash->ProgressMax));
    splash->pbrParam->setValue(0);
    splash->setFont(font);
    QPalette textPal = splash->pnlText->palette();
    textPal.setColor(QPalette::Window, color);
    splash->pnlText->setPalette(textPal);
    QFont bold = font;
    bold.setBold(true);
    splash->pnlName->setFont(bold);
    splash->repaint();
}

void HideSplash()
{
    TfrmSplash* splash = GSplash;
    GSplash = nullptr;
    if (!splash)
        return;
    // Never freed inside its own modal loop: end the loop and let the event loop free it.
    if (splash->ShownModal())
        splash->EndModal();
    splash->hide();
    splash->deleteLater();
}

void StepProgress(const QString& text)
{
    TfrmSplash* splash = GSplash;
    if (!splash)
        return;
    QProgressBar* bar = splash->pbrParam;
    if (bar->value() < splash->ProgressMax)
        bar->setValue(bar->value() + 1);
    splash->pnlText->setText(text);
    splash->repaint();
}

void SetDisplayTime(bool shortTime)
{
    if (TfrmSplash* splash = GSplash)
        splash->tmrSplash->setInterval(DisplayTime(shortTime));
}
