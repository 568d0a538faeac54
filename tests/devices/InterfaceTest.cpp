#include "InterfaceFixture.h"

#include "devices/serial/SerialPort.h"
#include "support/FakePrompt.h"

#include <QElapsedTimer>

#include <cerrno>
#include <thread>

namespace {

// Records whether the set-up ran on the finished object.
class TListProbe : public T__Interface {
public:
    TListProbe(TCreateKey key, QObject* owner) : T__Interface(key, owner) {}
    void ComPortUpdateList() override {
        ++Updates;
        FPortList = QStringList{"ttyB", "ttyA"};
    }
    int Updates = 0;
};

}  // namespace

TEST(InterfaceErrorText, FormatAndCableHint) {
    const QString hint = "\nPlease check the port and interface cable.";
    EXPECT_EQ(ComPortErrorText(903, EIO, "Error writing Data"),
              "ComPort : Error writing Data (Error 5 Input/output error - 903)");
    EXPECT_EQ(ComPortErrorText(112, EACCES, "Error reopening Port"),
              "ComPort : Error reopening Port (Error 13 Permission denied - 112)" + hint);
    EXPECT_TRUE(ComPortErrorText(112, EBUSY, "Error reopening Port").endsWith("- 112)" + hint));
    EXPECT_FALSE(ComPortErrorText(112, ENOENT, "Error reopening Port").contains('\n'));
}

TEST(InterfaceFactory, SetUpRunsAfterConstruction) {
    QObject owner;
    auto* probe = CreateInterface<TListProbe>(&owner);
    EXPECT_EQ(probe->Updates, 1);
    EXPECT_EQ(probe->PortList(), QStringList({"ttyB", "ttyA"}));
    EXPECT_EQ(probe->parent(), &owner); // freed with its owner
    EXPECT_EQ(probe->State(), kvsClosed);
    // The KV interface offers its ports sorted.
    std::unique_ptr<TKVInterface> kv(CreateInterface<TKVInterface>(nullptr));
    QStringList sorted = kv->PortList();
    sorted.sort();
    EXPECT_EQ(kv->PortList(), sorted);
}

TEST(InterfaceNeutral, OpensWithoutASource) {
    std::unique_ptr<T__Interface> none(CreateInterface<T__Interface>(nullptr));
    std::vector<TKeloState> states;
    none->OnStateChange = [&](TInterface*, TKeloState, TKeloState to) { states.push_back(to); };
    ::testing::internal::CaptureStderr();
    none->Open(kSourceSerial, "ttyS9");
    // The debug log names the source, both states and the kind of interface.
    EXPECT_TRUE(QString::fromStdString(::testing::internal::GetCapturedStderr())
                    .endsWith(" State ttyS9 Closed -> Opening (Unknown)\n"));
    EXPECT_EQ(states, (std::vector<TKeloState>{kvsOpening}));
    EXPECT_EQ(none->SourceName(), "ttyS9");
    EXPECT_FALSE(none->IsConnected());
    // A state handler may free the interface; its state event is then not fired.
    QPointer<TInterface> gone(CreateInterface<T__Interface>(nullptr));
    int opening = 0;
    gone->OnOpening = [&](TInterface*) { ++opening; };
    gone->OnStateChange = [](TInterface* sender, TKeloState, TKeloState) { delete sender; };
    gone->Open(kSourceSerial, "ttyS9");
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(opening, 0);
}

TEST_F(InterfaceTest, PortErrorsShowOneMessagePerOpen) {
    OpenPort();
    Kv->Port()->ProcessError(903, EIO, 0, "Error writing Data");
    Kv->Port()->ProcessError(9804, EIO, 0, "Error reading Data");
    EXPECT_EQ(Errors, (std::vector<QString>{
                          "ComPort : Error writing Data (Error 5 Input/output error - 903)"}));
    EXPECT_EQ(Kv->State(), kvsClosed);
    EXPECT_EQ(std::count(Log.begin(), Log.end(), "OnClosed"), 1);
    // Error first, then the close it causes.
    const auto error = std::find(Log.begin(), Log.end(), "error");
    EXPECT_LT(error - Log.begin(), std::find(Log.begin(), Log.end(), "OnClosing") - Log.begin());

    OpenPort();  // a new open may report again
    Kv->Port()->ProcessError(903, EIO, 0, "Error writing Data");
    EXPECT_EQ(Errors.size(), 2u);
}

TEST_F(InterfaceTest, OpenFailuresAreReportedAndClose) {
    Kv->Open(kSourceSerial, "/nonexistent/ttyKV0");
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "ComPort : Error reopening Port (Error 2 No such file or directory - 112)");
    EXPECT_EQ(Kv->State(), kvsClosed);
    EXPECT_EQ(Log, (std::vector<std::string>{"Closed->Opening", "OnOpening", "error",
                                             "Opening->Closing", "OnClosing", "Closing->Closed",
                                             "OnClosed"}));

    Kv->Open(kSourceSerial, "");
    EXPECT_EQ(Errors.back(), "No source selected");
    Kv->Open(7, "ttyS0");
    EXPECT_EQ(Errors.back(), "No device selected");
    EXPECT_EQ(Kv->SourceName(), "");
    // The demo source opens on the built-in recording.
    Kv->Open(kSourceDemo, "DEMO");
    EXPECT_EQ(Kv->SourceName(), "Demodata");
    EXPECT_EQ(Errors.size(), 3u);
    EXPECT_EQ(Kv->State(), kvsOpened);
    Kv->Close();
    EXPECT_EQ(Kv->State(), kvsClosed);
}

TEST_F(InterfaceTest, WithoutErrorHandlerTheMessageBoxWaitsForTheEventToEnd) {
    TFakePrompt prompt;
    Kv->OnError = nullptr;
    OpenPort();
    Kv->Port()->ProcessError(903, EIO, 0, "Error writing Data");
    Kv->Port()->ProcessError(903, EIO, 0, "Error writing Data");
    EXPECT_TRUE(prompt.Texts.empty());  // not from inside the port's event
    EXPECT_EQ(Kv->State(), kvsClosed);
    DrainEvents();
    ASSERT_EQ(prompt.Texts.size(), 1);
    EXPECT_EQ(prompt.Kind, TMsgKind::Error);
    EXPECT_TRUE(prompt.Texts[0].startsWith("ComPort : Error writing Data"));
}

TEST_F(InterfaceTest, DestroyingAnOpenInterfaceFiresNothing) {
    OpenPort();
    SendTicks(kvpKvw, 12280);
    const std::size_t logged = Log.size();
    Kv.reset();
    EXPECT_EQ(Log.size(), logged);
    // The port is released: another interface can take it at once.
    std::unique_ptr<TKVInterface> next(CreateInterface<TKVInterface>(nullptr));
    next->SetClock(&Clock);
    next->Open(kSourceSerial, Peer.SlavePath());
    EXPECT_TRUE(next->IsConnected());
    next->Close();
    EXPECT_EQ(Errors.size(), 0u);
}

TEST_F(InterfaceTest, PacketsOfAnEarlierOpenAreNotReplayed) {
    OpenPort();
    SendTicks(kvpKvw, 12280);
    // Bytes that arrive as the interface closes must not turn up after the next open.
    Peer.Write(kvenc::SampleTicks(kvpKvw, 12894));
    // Waited for without running events, so the packet's event is still pending.
    QElapsedTimer spin;
    spin.start();
    while (Kv->Port()->ClusterCount() == 0 && !spin.hasExpired(3000))
        std::this_thread::yield();
    ASSERT_EQ(Kv->Port()->ClusterCount(), 1u);
    Kv->Close();
    Pulses.clear();
    OpenPort();
    DrainEvents();
    SendTicks(kvpKvw, 13508);
    EXPECT_EQ(Wheels(), std::vector<double>{0.022});
}
