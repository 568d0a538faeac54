// Each test program gets a home folder of its own, so that parallel test processes never share
// the user's settings file or data folder (nor touch the real ones).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

inline void UsePrivateHome(QTemporaryDir& home) {
    const QByteArray root = QFile::encodeName(home.path());
    qputenv("HOME", root);
    qputenv("XDG_CONFIG_HOME", root + "/.config");
    qputenv("XDG_DATA_HOME", root + "/.local/share");
    qputenv("XDG_CACHE_HOME", root + "/.cache");
}
