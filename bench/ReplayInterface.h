// A KV interface that plays raw records handed to it, as fast as the caller feeds them, on a
// clock that follows the recorded intervals (so the results do not depend on the machine).
#pragma once

#include "devices/FlywheelInterface.h"
#include "devices/session/SessionController.h"
#include "foundation/core/Types.h"
#include "resources/DemoData.h"

#include <QFile>
#include <QPointer>

class TReplayClock : public TClock {
public:
    std::int64_t NowMs() const override { return std::int64_t(FSeconds * 1000); }
    void Wait(unsigned ms) override { FSeconds += ms / 1000.0; }
    void Advance(double seconds) { FSeconds += seconds; }

private:
    double FSeconds = 0;
};

class TReplay : public TKVInterface {
public:
    TReplay(TCreateKey key, QObject* owner) : TKVInterface(key, owner) {}
    // The default rower's and [Row]'s tuning (engine_replay's defaults).
    void UseDefaultRower() {
        SetProtocolSet({kvpDOS, kvpKvw});
        SetMagnets(4);
        SetInertia(0.1088);
        SetCog(11);
        SetWeight(80);
        SetThresHold(5);
        SetStrokeTrigger(0);
    }
    void Feed(std::uint16_t ticks, std::uint8_t heart) {
        TakeRawRecord(ticks, heart, false);
        DemoProcess();
    }

protected:
    // The records come from Feed, not from a source of their own.
    void DemoOpen() override {
        FValidData = 1;
        FDataSeen = 1;
        SetState(kvsOpened);
    }
};

// A raw recording: a header, then a record per pulse of the interval's ticks and a heart byte.
struct TRawRecording {
    QByteArray Bytes;

    // The built-in demo recording; empty when it cannot be read.
    static TRawRecording Demo() {
        InitDemoDataResource();
        QFile file(QString::fromLatin1(kDemoDataResource));
        return {file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()};
    }
    qsizetype Count() const {
        return Bytes.size() < kKvRawHeaderSize ? 0 : (Bytes.size() - kKvRawHeaderSize) / kStgRawDataSize;
    }
    // Plays record r: the clock moves on by its interval, then the replay takes it.
    void Feed(qsizetype r, TReplay& replay, TReplayClock& clock) const {
        const auto* p = reinterpret_cast<const unsigned char*>(Bytes.constData()) + kKvRawHeaderSize +
                        kStgRawDataSize * r;
        const auto ticks = std::uint16_t(p[0] | (p[1] << 8));
        clock.Advance(double(ticks) / kKvTicksPerSecond);
        replay.Feed(ticks, p[2]);
    }
};

// Starts a session that plays through a replay interface on clock: the connect dialog picks the
// demo at once, nothing is shown, and replay points to the interface the session made.
inline void StartReplaySession(TSessionController& s, TReplayClock& clock, QPointer<TReplay>& replay) {
    s.SetClock(&clock);
    s.CreateInterfaceOfKind = [&replay](std::uint8_t, QObject* owner) -> TInterface* {
        replay = CreateInterface<TReplay>(owner);
        return replay;
    };
    s.View.ConnectDialog = [](TConnectChoice& c) {
        c = TConnectChoice{QStringLiteral("DEMO"), 0, 1};
        return true;
    };
    s.View.ShowResults = [](TTraining&) {};
    s.View.ShowMessageWindow = [](const QString&) {};
    s.View.CloseMessageWindow = [] {};
    s.ButtonClick();
}
