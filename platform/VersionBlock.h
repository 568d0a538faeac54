// The version block of a program file: an ELF section of our own holding pairs of UTF-8 texts
// "key\0value\0" (written by the build, see kv_version_block in cmake/KvHelpers.cmake).
#pragma once

#include <QByteArray>
#include <QString>

inline constexpr const char* KvVersionSectionName = ".kvverinfo";
// A larger section is taken for damage and ignored.
inline constexpr qint64 KvMaxSectionSize = 64 * 1024;

// The contents of the named section of an ELF file (32 or 64 bit, either byte order). Empty when
// the file is missing, is not ELF, has no such section or its headers point outside the file.
QByteArray ReadElfSection(const QString& fileName, const QByteArray& sectionName);

// The value of key (case ignored) in a version block; empty when missing.
QString VersionBlockValue(const QByteArray& block, const QString& key);
