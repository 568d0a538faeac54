// A KV interface on the slave side of a pty, with the test as the device, a fake clock and a
// record of every event in the order it came.
#pragma once

#include "devices/FlywheelInterface.h"

#include "support/FakeClock.h"
#include "support/KvDeviceEncoder.h"
#include "support/PtyPeer.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

struct TPulse {
    double Wheel;
    int HeartRaw;
};

class InterfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetInterfaceBeep([this] { ++Beeps; });
        Use(CreateInterface<TKVInterface>(nullptr));
    }

    void TearDown() override {
        Clock.OnWait = nullptr;  // it may hold the test's locals
        if (Kv)
            Kv->Close();
        Kv.reset();
        SetInterfaceBeep(nullptr);
    }

    // Takes over an interface and records its events.
    void Use(TKVInterface* kv) {
        Kv.reset(kv);
        Kv->SetClock(&Clock);
        Kv->SetProtocolSet({kvpDOS, kvpKvw});
        Kv->OnStateChange = [this](TInterface* sender, TKeloState from, TKeloState to) {
            EXPECT_EQ(sender, Kv.get());
            Log.push_back(std::string(StateName(from)) + "->" + std::string(StateName(to)));
        };
        const auto note = [this](const char* name) {
            return [this, name](TInterface* sender) {
                EXPECT_EQ(sender, Kv.get());
                Log.push_back(std::string("On") + name);
            };
        };
        Kv->OnClosing = note("Closing");
        Kv->OnClosed = note("Closed");
        Kv->OnOpening = note("Opening");
        Kv->OnOpened = note("Opened");
        Kv->OnPausing = note("Pausing");
        Kv->OnPaused = note("Paused");
        Kv->OnContinueing = note("Continueing");
        Kv->OnContinued = note("Continued");
        Kv->OnError = [this](TInterface* sender, const QString& msg) {
            EXPECT_EQ(sender, Kv.get());
            Errors.push_back(msg);
            Log.push_back("error");
        };
        Kv->OnProtocolError = [this](TInterface*) { ++ProtocolErrors; };
        Kv->OnRawData = [this](TInterface*, double wheel, int heart, int) {
            Pulses.push_back({wheel, heart});
        };
    }

    void OpenPort() {
        Kv->Open(kSourceSerial, Peer.SlavePath());
        ASSERT_EQ(Kv->State(), kvsOpening);
        ASSERT_TRUE(Kv->IsConnected());
    }

    // Writes bytes and waits until the interface has taken them all from the port.
    void Send(const std::string& bytes) {
        const std::uint64_t target = Kv->ReceivedBytes() + bytes.size();
        Peer.Write(bytes);
        ASSERT_TRUE(WaitUntil([&] { return Kv->ReceivedBytes() >= target; }))
            << "received " << Kv->ReceivedBytes() << " of " << target;
        DrainEvents();
    }

    void SendTicks(TKeloProtocol protocol, int ticks, int period = 600) {
        Send(kvenc::SampleTicks(protocol, ticks, period));
    }

    std::vector<double> Wheels() const {
        std::vector<double> result;
        for (const TPulse& p : Pulses)
            result.push_back(p.Wheel);
        return result;
    }

    TPtyPeer Peer;
    TFakeClock Clock;
    std::unique_ptr<TKVInterface> Kv;
    std::vector<std::string> Log;
    std::vector<QString> Errors;
    std::vector<TPulse> Pulses;
    int ProtocolErrors = 0;
    int Beeps = 0;
};
