// Questions and messages for the user from code below the window library. The window library
// installs a prompt that shows message boxes; tests install their own. Without one every
// question gets the cautious answer (No or Cancel) and messages are only traced.
#pragma once

#include <QString>

enum class TMsgKind { Warning, Error, Information, Confirmation };
enum class TMsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class TMsgResult { Ok, Cancel, Yes, No };

class TPrompt {
public:
    virtual ~TPrompt() = default;
    virtual TMsgResult Ask(const QString& text, TMsgKind kind, TMsgButtons buttons) = 0;
};

// The prompt in use (not owned); nullptr removes it.
void SetPrompt(TPrompt* prompt);
TPrompt* GetPrompt();
TMsgResult PromptUser(const QString& text, TMsgKind kind, TMsgButtons buttons);
