#include "shell/MessageWindow.h"

#include "shell/MainWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QStyle>

namespace {

QPointer<TfrmMessage> GMessage;

}  // namespace

TfrmMessage::TfrmMessage(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString());
    setModal(false);
    imgIcon = new QLabel(this);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    imgIcon->setPixmap(icon.pixmap(32, 32));
    imgIcon->setFixedSize(32, 32);
    lblText = new QLabel(this);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(imgIcon);
    layout->addWidget(lblText, 1);
}

void TfrmMessage::reject()
{
    // Esc or the frame's close button: the waiting code sees the window gone. The dialog's own
    // reject hides it, so a close that came from the frame is not refused.
    if (GMessage == this) {
        Tag = 1;
        GMessage = nullptr;
    }
    QDialog::reject();
}

TfrmMessage* CurrentMessageWindow()
{
    return GMessage;
}

void ShowMessageWindow(const QString& text)
{
    if (!GMessage) {
        QWidget* mainForm = frmMain;
        GMessage = new TfrmMessage(mainForm);
        GMessage->setAttribute(Qt::WA_DeleteOnClose);
        QPalette pal = GMessage->palette();
        pal.setColor(QPalette::Window, GetDialogColor());
        GMessage->setPalette(pal);
        if (mainForm)
            GMessage->setFont(mainForm->font());
    }
    TfrmMessage* w = GMessage;
    w->lblText->setText(text);
    w->resize(w->fontMetrics().horizontalAdvance(text) + w->imgIcon->width() + 50, w->sizeHint().height());
    const QWidget* centreOn = w->parentWidget();
    const QRect area = centreOn ? centreOn->frameGeometry()
                                : (w->screen() ? w->screen()->availableGeometry() : QRect());
    if (area.isValid())
        w->move(area.center() - w->rect().center());
    w->show();
    w->repaint();
}

void CloseMessageWindow()
{
    TfrmMessage* w = GMessage;
    if (!w || w->Tag == 1)
        return;
    w->Tag = 1;
    GMessage = nullptr;
    w->close();  // deletes itself later
}

bool MessageWindowVisible()
{
    const TfrmMessage* w = GMessage;
    return w && w->Tag != 1 && w->isVisible();
}
