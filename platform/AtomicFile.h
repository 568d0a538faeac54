// Whole-file writes that either replace the file completely or leave the old one as it was.
#pragma once

#include <QByteArray>
#include <QString>

// Writes through a temporary file in the same folder, synced to the disk, then renamed over the
// target, and syncs the folder. The write is unbuffered, so a short write (full disk, file size
// limit) fails instead of committing a cut file. A symbolic link stays and its target is
// written; a replaced file keeps its permissions, and one that may not be written is not
// replaced. On failure `error` (when given) says why.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// Removes the temporary files that writes of `path` killed before their rename left in its
// folder. Only while no other process can be writing the file. Returns how many were removed.
int RemoveStaleTemporaryFiles(const QString& path);

enum class TNewFileResult { Written, Exists, Failed };
// Writes a file that must not exist yet: the bytes go to a temporary file in the same folder,
// which is then linked under the name only when no file has it (two writers racing for one name
// never replace each other). Exists when the name was taken; on failure nothing is left behind.
TNewFileResult WriteNewFileAtomically(const QString& path, const QByteArray& bytes,
                                      QString* error = nullptr);
