// Answers the window library's message boxes while it lives and keeps their texts (window tests
// only: it needs the widget library).
#pragma once

#include "widgets/UiUtils.h"

#include <QStringList>

class TMessageBoxes {
public:
    explicit TMessageBoxes(QMessageBox::StandardButton answer = QMessageBox::Ok) {
        MessageBoxHook = [this, answer](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
            Texts << text;
            return answer;
        };
    }
    ~TMessageBoxes() { MessageBoxHook = nullptr; }
    TMessageBoxes(const TMessageBoxes&) = delete;
    TMessageBoxes& operator=(const TMessageBoxes&) = delete;

    QStringList Texts;
};
