#include "platform/AtomicFile.h"

#include <QSaveFile>
#include <cerrno>
#include <cstring>

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(file.errorString());
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        const int code = errno;
        const QString why = code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : file.errorString();
        file.cancelWriting();
        return fail(why);
    }
    if (!file.commit()) return fail(file.errorString());
    return true;
}
