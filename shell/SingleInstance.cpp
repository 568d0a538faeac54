#include "shell/SingleInstance.h"

#include "foundation/core/AppUtils.h"
#include "platform/IniFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

bool MultipleCopies = false;
QString InstanceText;
int InstanceCount = 0;
std::function<void()> OnInstanceMessage;

namespace {

QString GName;
QLocalServer* GServer = nullptr;

constexpr int kWaitMs = 5000;
constexpr qsizetype kMaxText = 1 << 20;  // a hand-over is a list of file names, never more
constexpr char kEnd = '\0';

QString RuntimeFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

// A parameter that names a file travels as a full name: the running copy has its own folder.
QString HandOverParameter(const QString& param)
{
    if (param.isEmpty() || param.startsWith(QLatin1Char('-')))
        return param;
    return QFileInfo(param).absoluteFilePath();
}

void Deliver(const QString& text)
{
    InstanceText = text;
    InstanceCount = 0;
    try {
        if (OnInstanceMessage)
            OnInstanceMessage();
    } catch (const std::exception& e) {
        DebugTrace(QStringLiteral("Hand-over failed: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        DebugTrace(QStringLiteral("Hand-over failed"));
    }
}

void ServeConnection(QLocalSocket* socket)
{
    auto buffer = std::make_shared<QByteArray>();
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer] {
        buffer->append(socket->readAll());
        const qsizetype end = buffer->indexOf(kEnd);
        if (end < 0) {
            if (buffer->size() > kMaxText)
                socket->abort();
            return;
        }
        const QString text = QString::fromUtf8(buffer->left(end));
        buffer->clear();
        // The sender gets its answer first; the files are opened afterwards.
        socket->write(MultipleCopies ? "0" : "1");
        socket->flush();
        socket->disconnectFromServer();
        QTimer::singleShot(0, QCoreApplication::instance(), [text] { Deliver(text); });
    });
}

bool Listen(const QString& path)
{
    // Nobody answers on the socket: what is left of it is a crashed copy's.
    QLocalServer::removeServer(path);
    auto* server = new QLocalServer;
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        std::fprintf(stderr, "kvwt: cannot listen on %s: %s\n", qPrintable(path),
                     qPrintable(server->errorString()));
        delete server;
        return false;
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server] {
        while (QLocalSocket* socket = server->nextPendingConnection())
            ServeConnection(socket);
    });
    GServer = server;
    DebugTrace(QStringLiteral("Single instance: listening on %1").arg(path));
    return true;
}

// True when the running copy told this one to end (or did not answer in time).
bool HandOver(QLocalSocket& socket, const QStringList& params)
{
    QStringList full;
    for (const QString& p : params)
        if (!p.startsWith(QStringLiteral("--")))  // an option, never a file to open
            full << HandOverParameter(p);
    QByteArray bytes = GetCommandLineText(full).toUtf8();
    bytes.append(kEnd);
    socket.write(bytes);
    if (!socket.waitForBytesWritten(kWaitMs))
        return true;
    QByteArray answer;
    while (answer.isEmpty() && socket.waitForReadyRead(kWaitMs))
        answer += socket.readAll();
    return !answer.startsWith('0');
}

}  // namespace

QString InstanceName()
{
    if (!GName.isEmpty())
        return GName;
    QString name = RemoveInvalidFileChars(GetProductName()).simplified().replace(QLatin1Char(' '), QLatin1Char('-'));
    return name.isEmpty() ? QStringLiteral("kvwt") : name;
}

void SetInstanceName(const QString& name)
{
    GName = RemoveInvalidFileChars(name);
}

QString InstanceSocketPath()
{
    return RuntimeFolder() + QLatin1Char('/') + InstanceName() + QStringLiteral(".socket");
}

QString InstanceLockPath()
{
    return RuntimeFolder() + QLatin1Char('/') + InstanceName() + QStringLiteral(".lock");
}

QString GetCommandLineText(const QStringList& params)
{
    const QString crlf = QStringLiteral("\r\n");
    if (params.isEmpty())
        return crlf;
    return params.join(crlf) + crlf;
}

int CountLines(const QString& text)
{
    return int(text.count(QStringLiteral("\r\n")));
}

QStringList InstanceLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = text.indexOf(QStringLiteral("\r\n"), start);
        if (end < 0)
            break;  // a piece without CR LF is not a complete line
        if (end > start)
            lines << text.mid(start, end - start);
        start = end + 2;
    }
    return lines;
}

TInstanceStart InstanceInit(const QStringList& params)
{
    {
        TIniFile ini(GetUserIniFileName(false));
        MultipleCopies = ini.ReadBool(QStringLiteral("Options"), QStringLiteral("MultipleCopies"), false);
    }
    ForceFolder(RuntimeFolder());
    QLockFile lock(InstanceLockPath());
    if (!lock.tryLock(kWaitMs)) {
        DebugTrace(QStringLiteral("Single instance: the lock stayed taken"));
        return MultipleCopies ? TInstanceStart::Run : TInstanceStart::End;
    }
    const QString path = InstanceSocketPath();
    QLocalSocket socket;
    socket.connectToServer(path);
    if (socket.waitForConnected(kWaitMs)) {
        if (MultipleCopies)
            return TInstanceStart::Run;  // an independent copy: nothing to hand over
        const bool end = HandOver(socket, params);
        socket.abort();
        return end ? TInstanceStart::End : TInstanceStart::Run;
    }
    // The first copy; without a socket it still runs, only unguarded.
    Listen(path);
    return TInstanceStart::Run;
}

bool InstanceListening()
{
    return GServer && GServer->isListening();
}

void InstanceDone()
{
    delete GServer;  // closes the socket and removes its file
    GServer = nullptr;
    InstanceText.clear();
    OnInstanceMessage = nullptr;
}
