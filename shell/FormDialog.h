// Base of every modal dialog: an OK/Cancel panel at the bottom and the colour hook.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

class QFrame;
class QPushButton;

class TFormDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFormDialog(QWidget* parent = nullptr);

    QWidget* Client;  // the dialog's own controls go here
    QWidget* pnlButtons;
    QFrame* Bevel1;
    QWidget* pnlCancelOk;
    QPushButton* btbOk;
    QPushButton* btbCancel;
    QColor DesignColor;
    QFont DesignFont;

    // Every dialog overrides this and calls the base first.
    virtual void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                           const QColor& windowColor);

protected:
    void showEvent(QShowEvent* event) override;
};
