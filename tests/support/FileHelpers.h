// Small file helpers for tests.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// The whole file; empty when it cannot be read.
QByteArray ReadAllBytes(const QString& fileName);
// Creates the folders and writes the file; false when that fails.
bool WriteAllBytes(const QString& fileName, const QByteArray& bytes);
bool WriteAllBytes(const QString& fileName, const std::vector<std::uint8_t>& bytes);
// Makes <sysRoot>/dev/block/<major>:<minor> of the device that holds `file` a link to
// <sysRoot>/<target> (created as a folder); false when that fails.
bool LinkBlockDeviceOf(const QString& sysRoot, const QString& file, const QString& target);
// Every file below root as a path relative to it, sorted.
QStringList FilesUnder(const QString& root);

// Files cannot grow beyond `bytes` while it lives, as on a full disk (writes fail, no signal).
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(unsigned long bytes);
    ~TFileSizeLimit();
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    unsigned long FOldLimit = 0;
    void (*FOldHandler)(int) = nullptr;
};
