// The connect dialog against the built-in demo and against devices played on pseudo terminals,
// with a fake clock that moves on every wait.
#include "session/ConnectDialog.h"

#include "devices/FlywheelInterface.h"
#include "devices/FourthMarkInterface.h"
#include "devices/InterfaceFactory.h"
#include "platform/IniFiles.h"
#include "support/FakeClock.h"
#include "support/FileHelpers.h"
#include "support/KvDeviceEncoder.h"
#include "support/PtyPeer.h"
#include "support/QtPrinters.h"
#include "support/UiInput.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

// The flywheel interface with the test's port list and the built-in recording.
QStringList gPorts;

class TTestKv : public TKVInterface {
public:
    TTestKv(TCreateKey key, QObject* owner) : TKVInterface(key, owner) {}
    void ComPortUpdateList() override { FPortList = gPorts; }

protected:
    QString DemoFileName() const override { return QString(); }
};

class TTestZt : public TZTInterface {
public:
    TTestZt(TCreateKey key, QObject* owner) : TZTInterface(key, owner) {}
    void ComPortUpdateList() override { FPortList = gPorts; }
};

class ConnectDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetInterfaceBeep([] {});
        Factory.Register(kInterfaceKV, [](QObject* owner) { return CreateInterface<TTestKv>(owner); });
        Factory.Register(kInterfaceZT, [](QObject* owner) { return CreateInterface<TTestZt>(owner); });
        Clock.OnWait = [this](unsigned ms) {
            Clock.Advance(std::max<unsigned>(ms, 50));
            if (World)
                World();
            if (Dlg && (Texts.empty() || Texts.back() != Dlg->lblTest->text()))
                Texts.push_back(Dlg->lblTest->text());
        };
    }

    void TearDown() override {
        World = nullptr;
        Dlg.reset();
        Clock.OnWait = nullptr;
        gPorts.clear();
        SetInterfaceBeep(nullptr);
    }

    QString IniName() const { return Dir.filePath(QStringLiteral("kvwt.ini")); }
    void WriteSettings(const std::map<QString, QString>& values) {
        TIniFile ini(IniName());
        for (const auto& [key, value] : values)
            ini.WriteString(QStringLiteral("Connect"), key, value);
        ASSERT_TRUE(ini.UpdateFile());
    }

    QString Setting(const QString& key) {
        return TIniFile(IniName()).ReadString(QStringLiteral("Connect"), key, QStringLiteral("<none>"));
    }

    void Open() {
        Dlg = std::make_unique<TfrmConnect>(nullptr, &Factory);
        Dlg->IniFileName = IniName();
        Dlg->SetClock(&Clock);
        Dlg->ClickSound = [this] { ++Clicks; };
        Dlg->ShowProtocolMessage = [this](const QString& text) { Messages.push_back(text); };
        Dlg->show();
    }

    // The dialog with the peer's port as the only one, and that port chosen.
    void OpenOn(TPtyPeer& peer) {
        gPorts = {peer.SlavePath()};
        Open();
        Dlg->cmbSource->setCurrentIndex(Dlg->cmbSource->findText(peer.SlavePath()));
        ASSERT_EQ(Dlg->SelectedSource(), peer.SlavePath());
    }
    // A click on the button as it lies in the dialog; Test and Search run their whole wait inside it.
    void Press(QWidget* button) { EXPECT_EQ(ClickAt(button), button); }
    bool Shown(const QString& text) const { return std::find(Texts.begin(), Texts.end(), text) != Texts.end(); }

    // Events run and the clock moves until the condition holds.
    bool RunUntil(const std::function<bool()>& condition) {
        return WaitUntil([&] {
            Clock.Advance(20);
            return condition();
        }, 10000);
    }

    // Sends a flywheel sample to peer whenever the test interface has it open.
    void Speak(TPtyPeer& peer) {
        TKVInterface* kv = Dlg ? Dlg->TestInterface() : nullptr;
        if (kv && kv->OpenName() == peer.SlavePath() && kv->State() >= kvsOpening && kv->IsConnected())
            peer.Write(kvenc::SampleTicks(kvpKvw, 6140));
    }

    bool Idle() const {
        return Dlg->Phase() == TfrmConnect::TPhase::Idle && Dlg->btbOk->isEnabled() &&
               Dlg->btbCancel->isEnabled() && Dlg->cmbSource->isEnabled() &&
               Dlg->rgpConnect->isVisibleTo(Dlg.get()) && !Dlg->pnlMagnets->isVisibleTo(Dlg.get()) &&
               Dlg->lblTest->text().isEmpty() && Dlg->TestInterface() == nullptr;
    }

    QTemporaryDir Dir;
    TFakeClock Clock;
    TInterfaceFactory Factory;
    std::unique_ptr<TfrmConnect> Dlg;
    std::function<void()> World;
    std::vector<QString> Texts;
    std::vector<QString> Messages;
    int Clicks = 0;
};

TEST_F(ConnectDialogTest, DemoTestShowsLiveLinesAndStopReturnsToIdle) {
    Open();
    ASSERT_EQ(Dlg->SelectedSource(), "DEMO");
    Press(Dlg->btbTest);
    ASSERT_EQ(Dlg->Phase(), TfrmConnect::TPhase::Testing);
    EXPECT_EQ(Dlg->InterfaceKind(), kInterfaceKV);  // set by the opened event
    EXPECT_TRUE(Dlg->btbTest->isEnabled());
    EXPECT_FALSE(Dlg->btbOk->isEnabled() || Dlg->btbCancel->isEnabled() || Dlg->btbSearch->isEnabled() ||
                 Dlg->cmbSource->isEnabled());

    // Esc does nothing while the test receives data.
    QTest::keyClick(Dlg.get(), Qt::Key_Escape);
    EXPECT_TRUE(Dlg->isVisible());

    ASSERT_TRUE(RunUntil([&] { return Dlg->pnlMagnet[3]->text() != "x"; }));
    const QStringList lines = Dlg->lblTest->text().split('\n');
    ASSERT_EQ(lines.size(), 3) << Dlg->lblTest->text().toStdString();  // no protocol line for demo data
    EXPECT_EQ(Dlg->windowTitle(), "Connect to LUMA/DOS");
    for (QLabel* p : Dlg->pnlMagnet) {
        bool ok = false;
        const int percent = p->text().trimmed().toInt(&ok);
        EXPECT_TRUE(ok && percent >= 0 && percent <= 100) << p->text().toStdString();
    }
    EXPECT_GT(Clicks, 0);

    Press(Dlg->btbTest);  // Stop
    EXPECT_TRUE(Idle());
    Press(Dlg->btbOk);
    EXPECT_EQ(Dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Dlg->SourceKind(), kSourceDemo);
    EXPECT_EQ(Setting("Source"), "DEMO");
    EXPECT_EQ(Setting("InterfaceType"), "1");
}

TEST_F(ConnectDialogTest, ConnectTypesTakeClicks) {
    Open();
    for (int id : {2, 0, 1}) {
        QAbstractButton* item = Dlg->rgpConnectItems->button(id);
        // On its caption, where a radio button takes a click.
        const QPoint caption(item->sizeHint().width() / 2, item->height() / 2);
        EXPECT_EQ(ClickAt(item, caption), item) << id;
        EXPECT_EQ(Dlg->ConnectType(), id);
    }
}

TEST_F(ConnectDialogTest, SettingsRoundTripKeepsFalseFlagsAndPathCase) {
    gPorts = {"/dev/ttyUSB0", "/dev/ttyusb0"};
    const std::map<QString, QString> stored{{"Source", "/dev/ttyusb0"}, {"InterfaceType", "4"},
                                            {"StrictProtocol", "0"}, {"RawHeartRate", "1"},
                                            {"Beeps", "0"}, {"Quick", "1"}};
    WriteSettings(stored);
    Open();
    EXPECT_EQ(Dlg->cmbSource->count(), 3);
    EXPECT_EQ(Dlg->SelectedSource(), "/dev/ttyusb0");
    EXPECT_EQ(Dlg->SourceKind(), kSourceSerial);
    EXPECT_EQ(Dlg->InterfaceKind(), 4);
    EXPECT_FALSE(Dlg->StrictProtocol());
    EXPECT_TRUE(Dlg->RawHeartRate());
    EXPECT_FALSE(Dlg->Beeps());
    EXPECT_TRUE(Dlg->Quick());

    Press(Dlg->btbCancel);  // Cancel saves too
    for (const auto& [key, value] : stored)
        EXPECT_EQ(Setting(key), value) << key.toStdString();

    // Unknown, empty or differently cased sources select "DEMO"; "demo" is the demo.
    for (const char* stored : {"/dev/TTYUSB0", "", "COM1", "demo"}) {
        WriteSettings({{"Source", stored}});
        Dlg->show();
        EXPECT_EQ(Dlg->SelectedSource(), "DEMO") << stored;
        QTest::keyClick(Dlg.get(), Qt::Key_Escape);
    }
}

TEST_F(ConnectDialogTest, StopDuringTheWaitEndsTheTestAfterTheWaitReturns) {
    TPtyPeer silent;
    OpenOn(silent);
    int waitsAfterStop = -1;
    World = [&] {
        if (waitsAfterStop >= 0)
            ++waitsAfterStop;
        else if (Dlg->TestInterface() && Dlg->TestInterface()->WaitingForData()) {
            waitsAfterStop = 0;
            Press(Dlg->btbTest);  // Stop while OpenAndWait runs events
        }
    };
    Press(Dlg->btbTest);
    ASSERT_GE(waitsAfterStop, 0);
    // No "Nothing found" pause and no wait for the no-data time-out.
    EXPECT_LT(waitsAfterStop, 10);
    EXPECT_FALSE(Shown("Nothing found"));
    EXPECT_TRUE(Idle());
}

TEST_F(ConnectDialogTest, DialogFreedDuringTheWait) {
    TPtyPeer silent;
    OpenOn(silent);
    QPointer<TfrmConnect> dialog(Dlg.get());
    World = [&] {
        if (Dlg && Dlg->TestInterface() && Dlg->TestInterface()->WaitingForData())
            Dlg.reset();  // its owner goes away while the test waits
    };
    ClickAt(dialog->btbTest);
    EXPECT_TRUE(dialog.isNull());
}

TEST_F(ConnectDialogTest, UsbAdapterPortIsNotTestedByTheFlywheelInterface) {
    TPtyPeer peer;
    Factory.IsK3Port = [&](const QString& port) { return port == peer.SlavePath(); };
    OpenOn(peer);
    const std::int64_t start = Clock.NowMs();
    Press(Dlg->btbTest);
    EXPECT_EQ(Texts.front(), "Nothing found");
    EXPECT_EQ(Clock.NowMs() - start, 1000);
    EXPECT_TRUE(Idle());
}

TEST_F(ConnectDialogTest, NothingFoundPauseCanBeCancelled) {
    TPtyPeer silent;
    OpenOn(silent);
    std::int64_t shownAt = -1;
    World = [&] {
        if (shownAt < 0 && Dlg->lblTest->text() == "Nothing found") {
            shownAt = Clock.NowMs();
            Press(Dlg->btbTest);
        }
    };
    const std::int64_t start = Clock.NowMs();
    Press(Dlg->btbTest);
    ASSERT_GE(shownAt, 0);
    // The no-data time-out passed, then the pause ended at the first wait after Stop.
    EXPECT_GE(shownAt - start, kKvNoDataTimeoutMs);
    EXPECT_LT(Clock.NowMs() - shownAt, 1000);
    EXPECT_TRUE(Shown("ComPort : No data"));
    EXPECT_TRUE(Idle());
}

TEST_F(ConnectDialogTest, SearchFindsTheSpeakingPortAndSkipsAnUnpluggedOne) {
    TPtyPeer unplugged, silent, speaking;
    gPorts = {unplugged.SlavePath(), silent.SlavePath(), speaking.SlavePath()};
    Open();
    World = [&] {
        TKVInterface* kv = Dlg->TestInterface();
        if (kv && kv->OpenName() == unplugged.SlavePath() && kv->IsConnected() && unplugged.IsOpen())
            unplugged.CloseMaster();  // the adapter is pulled while the search listens
        Speak(speaking);
    };
    Press(Dlg->btbSearch);
    EXPECT_TRUE(Shown("Testing " + silent.SlavePath() + " ..."));
    EXPECT_TRUE(std::any_of(Texts.begin(), Texts.end(), [](const QString& t) { return t.startsWith("ComPort : "); }));
    EXPECT_TRUE(Shown("KV Interface found on " + speaking.SlavePath()));
    EXPECT_EQ(Dlg->SelectedSource(), speaking.SlavePath());
    EXPECT_EQ(Dlg->InterfaceKind(), kInterfaceKV);
    EXPECT_EQ(Dlg->cmbSource->count(), 4);  // the ports and "DEMO"
    EXPECT_TRUE(Idle());

    // A test on the port found names its protocol.
    Press(Dlg->btbTest);
    ASSERT_EQ(Dlg->Phase(), TfrmConnect::TPhase::Testing);
    ASSERT_TRUE(RunUntil([&] {
        Speak(speaking);
        return Dlg->lblTest->text().contains("Protocol");
    }));
    EXPECT_EQ(Dlg->lblTest->text().split('\n').value(3), "Protocol : KVW");
    EXPECT_EQ(Dlg->windowTitle(), "Connect to KVW");
    World = nullptr;
    Press(Dlg->btbTest);
    EXPECT_TRUE(Idle());
}

TEST_F(ConnectDialogTest, SearchWithoutAnswerKeepsLastTextThenClears) {
    TPtyPeer a, b;
    gPorts = {a.SlavePath(), b.SlavePath()};
    Open();
    std::vector<std::pair<std::int64_t, QString>> timeline;
    World = [&] { timeline.emplace_back(Clock.NowMs(), Dlg->lblTest->text()); };
    Press(Dlg->btbSearch);
    EXPECT_EQ(Dlg->InterfaceKind(), 0);
    EXPECT_EQ(Dlg->SelectedSource(), b.SlavePath());  // the port last tested
    EXPECT_TRUE(Idle());
    // The last line of the search (the second port's error) stays for the two seconds.
    auto it = std::find_if(timeline.begin(), timeline.end(),
                           [&](const auto& e) { return e.second == "Testing " + b.SlavePath() + " ..."; });
    it = std::find_if(it, timeline.end(), [](const auto& e) { return e.second == "ComPort : No data"; });
    ASSERT_NE(it, timeline.end());
    EXPECT_EQ(timeline.back().second, "ComPort : No data");
    EXPECT_GE(timeline.back().first - it->first, 1900);
}

// A test goes on through fewer than ten bad bytes before any sample, and through bad bytes
// under a tenth of the samples after them; past that it stops with one message.
TEST_F(ConnectDialogTest, ProtocolErrorsEndTheTestPastTheirShare) {
    const struct {
        int Samples, Errors;
        bool Ends;
    } cases[] = {{0, 9, false}, {0, 10, true}, {100, 9, false}, {100, 10, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Samples << " samples, " << c.Errors << " errors");
        TPtyPeer peer;
        OpenOn(peer);
        Messages.clear();
        std::string bytes;
        for (int n = 0; n < c.Samples; ++n)
            bytes += kvenc::SampleTicks(kvpKvw, 6140);
        bytes += std::string(std::size_t(c.Errors + 3), '\xFF');  // each byte is dropped as an error while four wait
        bool sent = false;
        World = [&] {
            TKVInterface* kv = Dlg->TestInterface();
            if (!sent && kv && kv->IsConnected() && kv->State() == kvsOpening) {
                peer.Write(bytes);
                sent = true;
            }
        };
        Press(Dlg->btbTest);
        World = nullptr;
        DrainEvents();
        ASSERT_TRUE(sent);
        ASSERT_EQ(Messages.size(), c.Ends ? 1u : 0u);
        if (c.Ends) {
            EXPECT_TRUE(Messages[0].contains("following protocol : LUMA/DOS or KVW."));
            EXPECT_FALSE(Messages[0].contains("[Test]"));
            EXPECT_TRUE(Idle());
        }
        if (Dlg->Phase() == TfrmConnect::TPhase::Testing)
            Press(Dlg->btbTest);
        Press(Dlg->btbCancel);
    }
}

TEST(ConnectProtocolText, AdviceOnlyOutsideTheDialog) {
    std::unique_ptr<TKVInterface> kv(CreateInterface<TKVInterface>(nullptr));
    kv->SetProtocolSet({kvpKV3W});
    EXPECT_TRUE(ProtocolErrorText(*kv, false).contains(
        "following protocol : KV3W.\n\nPlease use the [Test] button in the \"Connect\" dialogue first."));
    EXPECT_FALSE(ProtocolErrorText(*kv, true).contains("[Test]"));
}

TEST(InterfaceFactoryKinds, OnlyBuiltKindsAreMade) {
    TInterfaceFactory factory;
    for (std::uint8_t kind = 1; kind <= 6; ++kind) {
        std::unique_ptr<TInterface> i(factory.Create(kind, nullptr));
        ASSERT_NE(i, nullptr) << int(kind);
        EXPECT_EQ(i->InterfaceType(), kind);
    }
    for (std::uint8_t kind : {0, 7, 255})
        EXPECT_EQ(factory.Create(kind, nullptr), nullptr) << int(kind);
}

}  // namespace
