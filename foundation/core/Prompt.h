// Questions and messages for the user from code below the window library. The window library
// installs a prompt that shows message boxes; tests install their own. Without one every
// question gets the cautious answer (No or Cancel) and messages are only traced.
#pragma once

#include <QString>

enum class TMsgKind { Warning, Error, Information, Confirmation };
// YesNoDefaultNo, OkCancelDefaultCancel: No or Cancel is the default button, for questions whose
// Yes or OK loses data.
enum class TMsgButtons { Ok, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo, OkCancelDefaultCancel };
enum class TMsgResult { Ok, Cancel, Yes, No };

// A save-file dialog. Filter keeps the "description|pattern|description|pattern" form (the
// window library converts it); FilterIndex counts its entries from 1. On OK the dialog puts the
// chosen name (with DefaultExt added when none was typed) into FileName and the chosen entry
// into FilterIndex.
struct TSaveDialogRequest {
    QString Title;
    QString Filter;
    int FilterIndex = 1;
    QString DefaultExt; // without the dot
    QString InitialDir;
    QString FileName;
    bool OverwritePrompt = false;
    bool HideReadOnly = false;
    bool PathMustExist = false;
    bool Resizable = false;
};

class TPrompt {
public:
    virtual ~TPrompt() = default;
    virtual TMsgResult Ask(const QString& text, TMsgKind kind, TMsgButtons buttons) = 0;
    // True when the user chose a name; the default cancels.
    virtual bool AskSaveFileName(TSaveDialogRequest& request) {
        (void)request;
        return false;
    }
};

// The prompt in use (not owned); nullptr removes it.
void SetPrompt(TPrompt* prompt);
TPrompt* GetPrompt();
TMsgResult PromptUser(const QString& text, TMsgKind kind, TMsgButtons buttons);
// Without a prompt the dialog counts as cancelled. A name that is the program's own settings
// file is refused with a message, as if cancelled.
bool PromptSaveFileName(TSaveDialogRequest& request);
