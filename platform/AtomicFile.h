// Whole-file writes that either replace the file completely or leave the old one as it was.
#pragma once

#include <QByteArray>
#include <QString>

// Writes through a temporary file and a rename. The write is unbuffered, so a short write
// (full disk, file size limit) fails instead of committing a cut file. On failure `error`
// (when given) says why.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);
