// The window library's answer to the prompt of the code below it: message boxes through
// ShowMessageBox (so tests can answer them) and the save-file dialog.
#pragma once

#include "foundation/core/Prompt.h"

#include <functional>

class TUiPrompt : public TPrompt {
public:
    TMsgResult Ask(const QString& text, TMsgKind kind, TMsgButtons buttons) override;
    bool AskSaveFileName(TSaveDialogRequest& request) override;

    // Tests replace the save dialog; it gets the request and fills in the name.
    static std::function<bool(TSaveDialogRequest&)> SaveDialogHook;
};

// "description|pattern|..." as a Qt name filter list; the patterns' ';' become blanks.
QStringList PromptFilterToQt(const QString& filter);
