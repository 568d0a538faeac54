// A prompt that answers every question with a fixed answer and keeps what was asked. It is the
// program's prompt while it lives.
#pragma once

#include "foundation/core/Prompt.h"

#include <QStringList>

class TFakePrompt : public TPrompt {
public:
    explicit TFakePrompt(TMsgResult answer = TMsgResult::Ok) : FAnswer(answer) { SetPrompt(this); }
    ~TFakePrompt() override { SetPrompt(nullptr); }
    TMsgResult Ask(const QString& text, TMsgKind kind, TMsgButtons buttons) override {
        Texts.append(text);
        Kind = kind;
        Buttons = buttons;
        return FAnswer;
    }
    QStringList Texts;
    TMsgKind Kind = TMsgKind::Information; // of the last question
    TMsgButtons Buttons = TMsgButtons::Ok;

private:
    TMsgResult FAnswer;
};
