#include "shell/SingleInstance.h"

#include "foundation/core/AppUtils.h"
#include "platform/FileNames.h"
#include "platform/IniFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

bool MultipleCopies = false;
QString InstanceText;
int InstanceCount = 0;
std::function<void()> OnInstanceMessage;

namespace {

QString GName;
QLocalServer* GServer = nullptr;

int GWaitMs = 5000;
// A hand-over is a list of file names: a command line holds a few MiB at most.
constexpr qsizetype kMaxText = qsizetype{16} << 20;
constexpr char kEnd = '\0';
QString GHandOverFailure;

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
    return AbsoluteFileName(param);
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
            if (buffer->size() > kMaxText) {
                // Refused, and said so: the sender opens its files itself.
                buffer->clear();
                socket->write("2");
                socket->flush();
                socket->disconnectFromServer();
            }
            return;
        }
        const QString text = DecodeFileName(buffer->left(end));
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

enum class THandOver { Taken, RunIndependently, Failed };

// Sends the parameters and waits for the running copy's answer: '1' it took them, '0' this
// copy runs independently, '2' it refused them. Whatever else happens (no answer in time, the
// connection dropped) is a failure, with its reason in GHandOverFailure.
THandOver HandOver(QLocalSocket& socket, const QStringList& params)
{
    QStringList full;
    for (const QString& p : params)
        if (!p.startsWith(QStringLiteral("--")))  // an option, never a file to open
            full << HandOverParameter(p);
    // Names as the system keeps them: one that is not UTF-8 arrives as it left.
    QByteArray bytes = EncodeFileName(GetCommandLineText(full));
    bytes.append(kEnd);
    socket.write(bytes);
    QElapsedTimer clock;
    clock.start();
    // The whole text goes out before the answer can come; a copy that reads nothing (stopped,
    // hanging) lets the wait run out.
    while (socket.bytesToWrite() > 0 && socket.state() == QLocalSocket::ConnectedState) {
        const qint64 left = GWaitMs - clock.elapsed();
        if (left <= 0 || !socket.waitForBytesWritten(int(left)))
            break;
    }
    QByteArray answer = socket.readAll();
    while (answer.isEmpty() && socket.bytesToWrite() == 0 && socket.state() == QLocalSocket::ConnectedState) {
        const qint64 left = GWaitMs - clock.elapsed();
        if (left <= 0 || !socket.waitForReadyRead(int(left)))
            break;
        answer += socket.readAll();
    }
    answer += socket.readAll();  // an answer that came with the end of the connection
    if (answer.startsWith('1'))
        return THandOver::Taken;
    if (answer.startsWith('0'))
        return THandOver::RunIndependently;
    if (answer.startsWith('2'))
        GHandOverFailure = QStringLiteral("the running copy refused a hand-over of %1 bytes").arg(bytes.size());
    else if (socket.state() != QLocalSocket::ConnectedState)
        GHandOverFailure = QStringLiteral("the running copy dropped the connection");
    else
        GHandOverFailure = QStringLiteral("the running copy did not answer within %1 ms").arg(GWaitMs);
    return THandOver::Failed;
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
    GHandOverFailure.clear();
    // Without a hand-over this copy opens its files itself, unguarded: the socket stays the
    // running copy's.
    const auto runAlone = [] {
        std::fprintf(stderr, "kvwt: %s; this copy opens its files itself\n", qPrintable(GHandOverFailure));
        return TInstanceStart::Run;
    };
    ForceFolder(RuntimeFolder());
    QLockFile lock(InstanceLockPath());
    if (!lock.tryLock(GWaitMs)) {
        if (MultipleCopies)
            return TInstanceStart::Run;
        GHandOverFailure = QStringLiteral("another copy held the start-up lock for %1 ms").arg(GWaitMs);
        return runAlone();
    }
    const QString path = InstanceSocketPath();
    QLocalSocket socket;
    socket.connectToServer(path);
    if (socket.waitForConnected(GWaitMs)) {
        if (MultipleCopies)
            return TInstanceStart::Run;  // an independent copy: nothing to hand over
        const THandOver result = HandOver(socket, params);
        socket.abort();
        if (result == THandOver::Failed)
            return runAlone();
        return result == THandOver::Taken ? TInstanceStart::End : TInstanceStart::Run;
    }
    // The first copy; without a socket it still runs, only unguarded.
    Listen(path);
    return TInstanceStart::Run;
}

QString InstanceHandOverFailure()
{
    return GHandOverFailure;
}

void SetInstanceWaitMs(int ms)
{
    GWaitMs = ms;
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
