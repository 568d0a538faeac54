#include "platform/ToneOutput.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

void AppendLE(QByteArray& data, quint32 value, int size) {
    for (int i = 0; i < size; ++i)
        data.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

QByteArray MakeToneWav(int frequency, int milliseconds) {
    if (frequency < KvToneMinFrequency || frequency > KvToneMaxFrequency || milliseconds <= 0)
        return {};
    milliseconds = std::min(milliseconds, KvToneMaxMilliseconds);
    const quint32 samples = static_cast<quint32>(KvToneSampleRate) * milliseconds / 1000;
    const quint32 dataSize = samples * 2;
    QByteArray wav;
    wav.reserve(44 + static_cast<qsizetype>(dataSize));
    wav.append("RIFF");
    AppendLE(wav, 36 + dataSize, 4);
    wav.append("WAVEfmt ");
    AppendLE(wav, 16, 4);                     // format chunk size
    AppendLE(wav, 1, 2);                      // PCM
    AppendLE(wav, 1, 2);                      // mono
    AppendLE(wav, KvToneSampleRate, 4);
    AppendLE(wav, KvToneSampleRate * 2, 4);   // bytes per second
    AppendLE(wav, 2, 2);                      // block align
    AppendLE(wav, 16, 2);                     // bits per sample
    wav.append("data");
    AppendLE(wav, dataSize, 4);

    const double fade = KvToneSampleRate * 0.005;
    const double step = 2.0 * std::numbers::pi * frequency / KvToneSampleRate;
    for (quint32 i = 0; i < samples; ++i) {
        const double edge = std::min<double>(i, samples - 1 - i);
        const double gain = edge < fade ? edge / fade : 1.0;
        const double v = std::sin(step * i) * gain * 0.5 * 32767.0;
        AppendLE(wav, static_cast<quint16>(static_cast<qint16>(std::nearbyint(v))), 2);
    }
    return wav;
}

bool PlayTone(int frequency, int milliseconds) {
    const QByteArray wav = MakeToneWav(frequency, milliseconds);
    // The process object needs the main thread's event loop to feed the player.
    const QCoreApplication* app = QCoreApplication::instance();
    if (wav.isEmpty() || !app || QThread::currentThread() != app->thread())
        return false;
    QString player = QStandardPaths::findExecutable(QStringLiteral("paplay"));
    QStringList arguments;
    if (player.isEmpty()) {
        player = QStandardPaths::findExecutable(QStringLiteral("aplay"));
        arguments = {QStringLiteral("-q")};
    }
    if (player.isEmpty())
        return false;
    // The player reads the tone from its standard input; the process object frees itself when
    // the player ends, so the caller never waits.
    auto* process = new QProcess(QCoreApplication::instance());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            process->deleteLater();
    });
    process->start(player, arguments);
    process->write(wav);
    process->closeWriteChannel();
    return true;
}
