// The one-line message window that stays open while the program waits (for a device, say).
// It does not block; Esc closes it, and the waiting code sees that through
// MessageWindowVisible.
#pragma once

#include <QDialog>

class QLabel;

class TfrmMessage : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMessage(QWidget* parent = nullptr);

    QLabel* imgIcon;
    QLabel* lblText;
    int Tag = 0;  // 1 once closed through CloseMessageWindow

    void reject() override;  // Esc
};

void ShowMessageWindow(const QString& text);
void CloseMessageWindow();
bool MessageWindowVisible();
TfrmMessage* CurrentMessageWindow();
