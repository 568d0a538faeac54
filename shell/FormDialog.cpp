#include "shell/FormDialog.h"

#include "widgets/UiUtils.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TFormDialog::TFormDialog(QWidget* parent) : QDialog(parent)
{
    resize(238, 167);
    Client = new QWidget(this);
    pnlButtons = new QWidget(this);
    pnlButtons->setFixedHeight(38);
    Bevel1 = new QFrame(pnlButtons);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setFixedHeight(4);
    pnlCancelOk = new QWidget(pnlButtons);
    pnlCancelOk->setFixedSize(190, 34);
    btbOk = new QPushButton(tr("OK"), pnlCancelOk);
    btbOk->setGeometry(2, 5, 90, 25);
    btbOk->setToolTip(tr("Accept changes"));
    btbOk->setDefault(true);
    btbCancel = new QPushButton(tr("&Cancel"), pnlCancelOk);
    btbCancel->setGeometry(96, 5, 90, 25);
    btbCancel->setToolTip(tr("Cancel changes"));
    setTabOrder(btbOk, btbCancel);
    connect(btbOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btbCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QVBoxLayout(pnlButtons);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    buttons->addWidget(Bevel1);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch(1);
    row->addWidget(pnlCancelOk);
    buttons->addLayout(row);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Client, 1);
    layout->addWidget(pnlButtons);

    DesignColor = palette().color(QPalette::Window);
    DesignFont = font();
}

void TFormDialog::SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                            const QColor&)
{
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, backColor);
    SetEnabledColor(pal, QPalette::WindowText, textColor);
    setPalette(pal);
    for (QPushButton* button : {btbOk, btbCancel}) {
        button->setFont(font);
        QPalette bp = button->palette();
        SetEnabledColor(bp, QPalette::ButtonText, Qt::black);
        button->setPalette(bp);
    }
    update();
}

void TFormDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (btbCancel->isHidden())
        btbOk->move(btbCancel->x(), btbOk->y());
    if (btbOk->isEnabled() && btbOk->isVisibleTo(this))
        btbOk->setFocus();
}
