// A prompt that answers questions from Answers, then with a fixed answer, and keeps what was
// asked; the save dialog takes ChosenName (cancelled while it is empty). It is the program's
// prompt while it lives.
#pragma once

#include "foundation/core/Prompt.h"

#include <QStringList>
#include <deque>

class TFakePrompt : public TPrompt {
public:
    explicit TFakePrompt(TMsgResult answer = TMsgResult::Ok) : FAnswer(answer) { SetPrompt(this); }
    ~TFakePrompt() override { SetPrompt(nullptr); }
    TFakePrompt(const TFakePrompt&) = delete;
    TFakePrompt& operator=(const TFakePrompt&) = delete;
    TMsgResult Ask(const QString& text, TMsgKind kind, TMsgButtons buttons) override {
        Texts.append(text);
        Kind = kind;
        Buttons = buttons;
        if (Answers.empty())
            return FAnswer;
        const TMsgResult answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    bool AskSaveFileName(TSaveDialogRequest& request) override {
        Request = request;
        ++Dialogs;
        if (ChosenName.isEmpty())
            return false;
        request.FileName = ChosenName;
        request.FilterIndex = ChosenFilter;
        return true;
    }
    QStringList Texts;
    TMsgKind Kind = TMsgKind::Information; // of the last question
    TMsgButtons Buttons = TMsgButtons::Ok;
    std::deque<TMsgResult> Answers;
    TSaveDialogRequest Request; // the last save dialog asked for
    int Dialogs = 0;
    QString ChosenName;
    int ChosenFilter = 1;

private:
    TMsgResult FAnswer;
};
