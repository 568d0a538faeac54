// Windows-1252 text kept as bytes, converted to and from QString at the window boundary.
#pragma once

#include <QString>
#include <string>

QString Cp1252ToQString(const std::string& bytes);
QString Cp1252ToQString(const char* bytes, std::size_t size);
// Characters that Windows-1252 cannot hold become '?'.
std::string QStringToCp1252(const QString& text);
