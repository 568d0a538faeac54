// One running copy per user: the first copy listens on a local socket in the user's runtime
// folder; a later copy hands its parameters over and ends when told to. A lock file next to the
// socket settles the race between copies started together, and a socket left behind by a copy
// that crashed is taken over.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

enum class TInstanceStart { Run, End };

extern bool MultipleCopies;   // [Options] MultipleCopies, read by InstanceInit
extern QString InstanceText;  // the last text handed over
extern int InstanceCount;     // the last count handed over (always 0)
// Called on the main thread after each text, once the sender has had its answer.
extern std::function<void()> OnInstanceMessage;

// The name of the socket and lock file; the product name unless set (tests set their own).
QString InstanceName();
void SetInstanceName(const QString& name);
QString InstanceSocketPath();
QString InstanceLockPath();

// The parameters joined with CR LF, each line ended by CR LF; CR LF alone without parameters.
QString GetCommandLineText(const QStringList& params);
// The number of CR LF-ended lines; a trailing piece without CR LF is not counted.
int CountLines(const QString& text);
// The complete lines of a handed-over text, empty lines left out.
QStringList InstanceLines(const QString& text);

// Start-up: Run lets the program start, End means another copy took the parameters.
// params are the command-line parameters without the program. When the running copy does not
// take them (no answer in time, a dropped connection, a refusal) this copy runs on its own,
// unguarded, and opens them itself; InstanceHandOverFailure says why.
TInstanceStart InstanceInit(const QStringList& params);
QString InstanceHandOverFailure();
// How long a second copy waits for the lock, the connection and the answer (5000 ms).
void SetInstanceWaitMs(int ms);
bool InstanceListening();
void InstanceDone();
