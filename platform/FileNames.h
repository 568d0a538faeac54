// File names as the system keeps them (bytes, usually UTF-8) and as the program carries them.
// A name that is not UTF-8 keeps each byte that is not part of a UTF-8 character as the lone
// surrogate U+DC80..U+DCFF, so that it reaches its file again; Qt's own conversion would put
// U+FFFD in its place and lose the file.
#pragma once

#include <QByteArray>
#include <QString>

QString DecodeFileName(const QByteArray& native);
QByteArray EncodeFileName(const QString& name);
// The name for a person to read: a byte that is not UTF-8 shown as its Windows-1252 character.
QString DisplayFileName(const QString& name);
// The full name of a file: relative to the current folder, "." and ".." resolved, links kept.
QString AbsoluteFileName(const QString& name);
