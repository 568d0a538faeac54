#include "foundation/core/Prompt.h"

#include "foundation/core/AppUtils.h"

#include <atomic>

namespace {
std::atomic<TPrompt*> CurrentPrompt{nullptr};
}

void SetPrompt(TPrompt* prompt) {
    CurrentPrompt = prompt;
}

TPrompt* GetPrompt() {
    return CurrentPrompt;
}

TMsgResult PromptUser(const QString& text, TMsgKind kind, TMsgButtons buttons) {
    if (TPrompt* prompt = CurrentPrompt) return prompt->Ask(text, kind, buttons);
    DebugTrace(QStringLiteral("Unanswered: ") + text);
    switch (buttons) {
    case TMsgButtons::Ok:
        return TMsgResult::Ok;
    case TMsgButtons::YesNo:
    case TMsgButtons::YesNoDefaultNo:
        return TMsgResult::No;
    case TMsgButtons::OkCancel:
    case TMsgButtons::OkCancelDefaultCancel:
    case TMsgButtons::YesNoCancel:
        return TMsgResult::Cancel;
    }
    return TMsgResult::Cancel;
}

bool PromptSaveFileName(TSaveDialogRequest& request) {
    TPrompt* prompt = CurrentPrompt;
    if (!prompt) {
        DebugTrace(QStringLiteral("Unanswered save dialog: ") + request.Title);
        return false;
    }
    if (!prompt->AskSaveFileName(request)) return false;
    if (!IsProgramSettingsFile(request.FileName)) return true;
    prompt->Ask(QStringLiteral("Cannot save as \"%1\"\n%2").arg(request.FileName, SettingsFileOverwriteReason()),
                TMsgKind::Error, TMsgButtons::Ok);
    return false;
}
