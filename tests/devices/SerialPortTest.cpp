#include "devices/serial/SerialPort.h"

#include "support/PtyPeer.h"

#include <QTemporaryDir>
#include <QFile>

#include <cerrno>
#include <grp.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct TReport {
    std::uint32_t Place;
    std::uint32_t Code;
    QString Msg;
    std::uint8_t Noise;
};

// A port on the slave side of a pty, recording its errors and packets.
class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        Port = std::make_unique<TSerialPortNG>();
        Port->OnProcessError = [this](TSerialPortNG* sender, std::uint32_t place, std::uint32_t code,
                                      const QString& msg, std::uint8_t noise) {
            EXPECT_EQ(sender, Port.get());
            Reports.push_back({place, code, msg, noise});
        };
        Port->OnRxClusterEvent = [this](TSerialPortNG*) {
            Packets.push_back(Port->ReadNextClusterAsString());
        };
        Port->OnWriteDone = [this](TSerialPortNG*) { ++WriteDone; };
        Port->SetCommPort(Peer.SlavePath());
    }

    void Open() {
        Port->SetActive(true);
        ASSERT_TRUE(Port->Active());
    }

    std::vector<TReport> At(std::uint32_t place) const {
        std::vector<TReport> result;
        for (const TReport& r : Reports)
            if (r.Place == place)
                result.push_back(r);
        return result;
    }

    int Errors() const {
        int n = 0;
        for (const TReport& r : Reports)
            n += r.Noise == 0;
        return n;
    }

    std::string Received() const {
        std::string all;
        for (const std::string& p : Packets)
            all += p;
        return all;
    }

    TPtyPeer Peer;
    std::unique_ptr<TSerialPortNG> Port;
    std::vector<TReport> Reports;
    std::vector<std::string> Packets;
    int WriteDone = 0;
};

}  // namespace

TEST(SerialDelays, BaudTableAndLimits) {
    for (auto [baud, delay] : {std::pair{100u, 1100u}, {110u, 100000u}, {9600u, 1100u}, {56000u, 200u},
                               {115199u, 190u}, {115200u, 95u}, {1000000u, 43u}})
        EXPECT_EQ(SerialCharDelayForBaud(baud), delay) << baud;

    TSerialPortNG port;
    std::vector<TReport> reports;
    port.OnProcessError = [&](TSerialPortNG*, std::uint32_t place, std::uint32_t code,
                              const QString& msg, std::uint8_t noise) {
        reports.push_back({place, code, msg, noise});
    };
    port.SetBaudRate(115200);
    EXPECT_EQ(port.RTOCharDelayTime(), 95u);
    EXPECT_EQ(port.WTOCharDelayTime(), 95u);
    port.SetXTOAuto(false);
    port.SetBaudRate(300);
    EXPECT_EQ(port.RTOCharDelayTime(), 95u);
    port.SetXTOAuto(true);  // derives at once
    EXPECT_EQ(port.WTOCharDelayTime(), 37000u);

    port.SetXONLimDiv(150);
    port.SetXOFFLimDiv(100);
    EXPECT_EQ(port.XONLimDiv(), 100);
    EXPECT_EQ(port.XonLim(), 4096u);
    EXPECT_EQ(port.XoffLim(), 4096u);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Place, 100u);
    EXPECT_EQ(reports[0].Noise, 1);
    EXPECT_EQ(reports[0].Msg, "Warning XOnLimDef set to 100");
    port.SetXOFFLimDiv(101);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].Msg, "Warning XOffLimDef set to 100");
}

TEST(SerialOpenError, PermissionHintNamesOwningGroup) {
    EXPECT_EQ(SerialOpenErrorMessage("/dev/ttyUSB0", ENOENT), "Error reopening Port");
    // A device that cannot be looked at still gets the usual group.
    EXPECT_EQ(SerialOpenErrorMessage("/nonexistent/ttyUSB9", EACCES),
              "Error reopening Port (no permission for /nonexistent/ttyUSB9: the user must be a "
              "member of the group \"dialout\" that owns it; log in again after joining)");

    QTemporaryDir dir;
    const QString path = dir.filePath("ttyFake");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct stat st{};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &st), 0);
    const group* g = ::getgrgid(st.st_gid);
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(SerialOpenErrorMessage(path, EACCES)
                    .contains(QStringLiteral("\"%1\" that owns it").arg(g->gr_name)));
}

TEST(SerialDevicePath, BareNamesLiveInDev) {
    EXPECT_EQ(SerialDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(SerialDevicePath("/dev/serial/by-id/usb-x-if00-port0"),
              "/dev/serial/by-id/usb-x-if00-port0");
}

TEST_F(SerialPortTest, OpenFailuresReportPlace112AndStayInactive) {
    Port->SetCommPort("/dev/no-such-port-kv");
    Port->SetActive(true);
    EXPECT_FALSE(Port->Active());
    EXPECT_EQ(Port->ComHandle(), -1);
    ASSERT_EQ(At(112).size(), 1u);
    EXPECT_EQ(At(112)[0].Code, std::uint32_t(ENOENT));
    EXPECT_EQ(At(112)[0].Noise, 0);
    EXPECT_EQ(At(112)[0].Msg, "Error reopening Port");
    ASSERT_EQ(At(110).size(), 1u);
    EXPECT_EQ(At(110)[0].Msg, "Start reactivating Port");

    QTemporaryDir dir;
    QFile plain(dir.filePath("notatty"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    Port->SetCommPort(plain.fileName());
    Port->SetActive(true);
    EXPECT_FALSE(Port->Active());
    EXPECT_EQ(At(112).back().Code, std::uint32_t(ENOTTY));

    // A port held by another owner is busy.
    Port->SetCommPort(Peer.SlavePath());
    Open();
    TSerialPortNG second;
    std::uint32_t code = 0;
    second.OnProcessError = [&](TSerialPortNG*, std::uint32_t place, std::uint32_t c, const QString&,
                                std::uint8_t) {
        if (place == 112)
            code = c;
    };
    second.SetCommPort(Peer.SlavePath());
    second.SetActive(true);
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(code, std::uint32_t(EBUSY));
}

TEST_F(SerialPortTest, LineSettingsReachTheTty) {
    Open();
    Port->SetBaudRate(19200);
    Port->SetStopBits(2);
    Port->SetXONChar(0x21);
    Port->SetFlowControl(DCB_fOutxCtsFlow | DCB_fOutX | DCB_fInX);
    // Character size and parity: a pty refuses anything but 8N (see the termios test).
    termios t = Peer.SlaveAttributes();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x21);
    EXPECT_EQ(t.c_cc[VSTOP], 19);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));

    Port->SetStopBits(0);
    Port->SetFlowControl(DCB_fRtsHandshake);
    t = Peer.SlaveAttributes();
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);

    Port->SetBaudRate(14400);  // no termios constant: goes through the arbitrary-rate call
    EXPECT_TRUE(At(802).empty());
    Port->SetDataBits(9);
    ASSERT_EQ(At(802).size(), 1u);
    EXPECT_EQ(At(802)[0].Code, std::uint32_t(EINVAL));
    EXPECT_EQ(At(802)[0].Msg, "Error setting CommState, 87 indicate that Parms are incorrect");
}

TEST(SerialLineToTermios, SizeParityAndStopBits) {
    termios t{};
    ASSERT_TRUE(SerialLineToTermios(t, 9600, 7, 1, 0, 0, 17, 19));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS7));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | PARODD));
    EXPECT_EQ(t.c_iflag & (INPCK | PARMRK), 0u);  // checking comes with the parity flag bit
    ASSERT_TRUE(SerialLineToTermios(t, 9600, 5, 2, 1, DCB_fParity, 17, 19));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS5));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB));
    EXPECT_TRUE(t.c_cflag & CSTOPB);  // one and a half stop bits: two
    EXPECT_EQ(t.c_iflag & (INPCK | PARMRK | IGNPAR), tcflag_t(INPCK | PARMRK));
    ASSERT_TRUE(SerialLineToTermios(t, 9600, 8, 3, 0, 0, 17, 19));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | PARODD | CMSPAR));
    ASSERT_TRUE(SerialLineToTermios(t, 9600, 6, 4, 0, 0, 17, 19));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | CMSPAR));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS6));
    EXPECT_FALSE(SerialLineToTermios(t, 9600, 4, 0, 0, 0, 17, 19));
    EXPECT_FALSE(SerialLineToTermios(t, 9600, 8, 5, 0, 0, 17, 19));
    EXPECT_FALSE(SerialLineToTermios(t, 9600, 8, 0, 3, 0, 17, 19));
}

// A marked byte (parity or framing error) is handed on as received or replaced, and tells the
// packet's error word; marks cut by the end of a read wait for the rest.
TEST(SerialUnmarkErrors, MarkedBytesAndDoubledFF) {
    struct Case {
        const char* Name;
        std::vector<std::string> Reads;
        bool Replace;
        std::vector<std::string> Out;
        std::vector<std::uint32_t> Errors;
    };
    const std::string ff("\xff"), mark("\xff\0", 2);
    const std::vector<Case> cases = {
        {"plain", {"abc"}, false, {"abc"}, {0}},
        {"doubled FF", {"a" + ff + ff + "b"}, false, {"a\xff" "b"}, {0}},
        {"marked byte as received", {"a" + mark + "x" + "b"}, false, {"axb"}, {CE_RXPARITY}},
        {"marked byte replaced", {"a" + mark + "x" + "b"}, true, {"a?b"}, {CE_RXPARITY}},
        {"marked zero (a break)", {mark + std::string(1, '\0')}, false, {std::string(1, '\0')}, {CE_RXPARITY}},
        {"mark cut after FF", {"a" + ff, std::string(1, '\0') + "xb"}, true, {"a", "?b"}, {0, CE_RXPARITY}},
        {"mark cut after 00", {"a" + mark, "x"}, false, {"a", "x"}, {0, CE_RXPARITY}},
        {"doubled FF cut", {ff, ff + "c"}, false, {"", "\xff" "c"}, {0, 0}},
        {"FF before another byte", {ff + "z"}, false, {"\xff" "z"}, {0}},
    };
    for (const Case& c : cases) {
        std::string carry;
        for (std::size_t i = 0; i < c.Reads.size(); ++i) {
            std::string bytes = c.Reads[i];
            EXPECT_EQ(SerialUnmarkErrors(bytes, carry, c.Replace, '?'), c.Errors[i]) << c.Name << " read " << i;
            EXPECT_EQ(bytes, c.Out[i]) << c.Name << " read " << i;
        }
        EXPECT_TRUE(carry.empty()) << c.Name;
    }
}

// Parity checking makes the tty mark what it reads; on a pseudo terminal, which has no parity
// errors, that is the doubled FF, and every byte still arrives once, with no line error.
TEST_F(SerialPortTest, ParityCheckingMarksBytesAndTheReaderUndoesIt) {
    Port->SetClusterSize(64);
    Port->SetRTOExtraDelayTime(0);
    std::vector<std::uint32_t> words;
    Port->OnRxClusterEvent = [this, &words](TSerialPortNG*) {
        const TSerialCluster cluster = Port->ReadNextCluster();
        Packets.push_back(cluster.Data);
        words.push_back(cluster.CommError);
    };
    Open();
    EXPECT_EQ(Peer.SlaveAttributes().c_iflag & (INPCK | PARMRK), 0u);
    // A pseudo terminal has no parity bit: checking is asked for by the flag bit alone.
    Port->SetFlowControl(DCB_fParity);
    Port->SetParityErrorReplacement(true);
    Port->SetParityErrorChar('?');
    EXPECT_EQ(Port->ParityErrorChar(), '?');
    EXPECT_EQ(Peer.SlaveAttributes().c_iflag & (INPCK | PARMRK | IGNPAR), tcflag_t(INPCK | PARMRK));
    // The 64th byte read is the first half of a doubled FF.
    const std::string bytes = std::string(63, 'x') + "\xff" + std::string("\0\xff\xff" "e", 5);
    Peer.Write(bytes);
    ASSERT_TRUE(WaitUntil([&] { return Received().size() >= bytes.size(); }));
    EXPECT_EQ(Received(), bytes);
    EXPECT_EQ(words, std::vector<std::uint32_t>(Packets.size(), 0u));
    Port->SetFlowControl(0);
    EXPECT_EQ(Peer.SlaveAttributes().c_iflag & (INPCK | PARMRK), 0u);
    EXPECT_EQ(Errors(), 0);
}

TEST_F(SerialPortTest, FullClusterIsReadAtOnceShortOneWaitsForTheTimeOut) {
    Port->SetClusterSize(4);
    Port->SetRTOExtraDelayTime(60000);  // a short packet would wait a minute
    Open();
    Peer.Write("\x01\x02\x03");
    Peer.Write("\x04");
    ASSERT_TRUE(WaitUntil([&] { return !Packets.empty(); }));
    EXPECT_EQ(Packets, std::vector<std::string>{"\x01\x02\x03\x04"});

    // A read request takes a short packet at once.
    Peer.Write("ab");
    Port->SetReadRequest(true);
    ASSERT_TRUE(WaitUntil([&] { return Packets.size() == 2; }));
    EXPECT_EQ(Packets[1], "ab");
    EXPECT_FALSE(Port->ReadRequest());

    // With the time-out run out the three bytes come as one packet.
    Port->SetRTOExtraDelayTime(0);
    Port->SetRTOCharDelayTime(1000);
    Peer.Write("xyz");
    ASSERT_TRUE(WaitUntil([&] { return Packets.size() == 3; }));
    EXPECT_EQ(Packets[2], "xyz");
    EXPECT_EQ(Errors(), 0);
}

TEST_F(SerialPortTest, PacketsHoldAtMost64BytesInOrder) {
    Port->SetClusterSize(4);
    Port->SetRTOExtraDelayTime(0);
    Open();
    std::string data;
    for (int i = 0; i < 1000; ++i)
        data += char(i * 7);
    Peer.Write(data);
    ASSERT_TRUE(WaitUntil([&] { return Received().size() >= data.size(); }));
    EXPECT_EQ(Received(), data);
    EXPECT_GE(Packets.size(), 16u);
    for (const std::string& p : Packets)
        EXPECT_LE(p.size(), 64u);
}

TEST_F(SerialPortTest, NullStrippingAndEventChar) {
    Port->SetClusterSize(1);
    Port->SetStripNullChars(true);
    Port->SetEventChar('\r');
    int flagged = 0;
    Port->OnRxEventCharEvent = [&](TSerialPortNG*) { ++flagged; };
    Open();
    Peer.Write(std::string("a\0b\r", 4));
    ASSERT_TRUE(WaitUntil([&] { return Received().size() >= 3 && flagged > 0; }));
    EXPECT_EQ(Received(), "ab\r");
}

TEST_F(SerialPortTest, SentBytesArriveUnchanged) {
    Open();
    const std::string bytes("\x00\xff\x11\x13\r\nK", 7);
    Port->SendString(bytes);
    EXPECT_EQ(Peer.Read(bytes.size()), bytes);
    EXPECT_EQ(WriteDone, 1);
    EXPECT_EQ(Port->WrittenBytes(), 7u);
    Port->SendString("");  // nothing to send, nothing reported
    EXPECT_EQ(WriteDone, 1);
    EXPECT_EQ(Errors(), 0);
}

TEST_F(SerialPortTest, SecondSendWhilePendingIsRefusedAndTheRestGoesOut) {
    Open();
    const std::string big(256 * 1024, 'Z');
    Port->SendString(big);
    ASSERT_TRUE(Port->SendInProgress());
    Port->SendString("more");
    ASSERT_EQ(At(901).size(), 1u);
    EXPECT_EQ(At(901)[0].Msg, "Don't enter SendData while SendInProgress is set");
    EXPECT_EQ(At(901)[0].Noise, 2);
    EXPECT_EQ(WriteDone, 0);

    const std::string got = Peer.Read(big.size());
    EXPECT_EQ(got, big);  // "more" never went out
    ASSERT_TRUE(WaitUntil([&] { return WriteDone == 1; }));
    EXPECT_FALSE(Port->SendInProgress());
    EXPECT_EQ(Port->WrittenBytes(), big.size());
    EXPECT_EQ(Errors(), 0);
}

TEST_F(SerialPortTest, WriteThatOutlastsItsTimeOutIsReported) {
    Port->SetXTOAuto(false);
    Port->SetWTOCharDelayTime(0);
    Port->SetWTOExtraDelayTime(0);
    Open();
    Port->SendString(std::string(256 * 1024, 'Q'));  // nobody reads: the line stays full
    ASSERT_TRUE(WaitUntil([&] { return WriteDone == 1; }));
    ASSERT_EQ(At(9701).size(), 1u);
    EXPECT_EQ(At(9701)[0].Msg, "Error write TimeOut");
    EXPECT_FALSE(Port->SendInProgress());
    EXPECT_LT(Port->WrittenBytes(), 256u * 1024u);
}

TEST_F(SerialPortTest, UnsupportedModemLinesAreWarningsOnly) {
    Open();
    Port->SetRTSState(true);
    Port->SetDTRState(false);
    Port->SetBREAKState(true);
    Port->SetBREAKState(false);
    Peer.Write("x");
    Port->SetReadRequest(true);
    ASSERT_TRUE(WaitUntil([&] { return !Packets.empty(); }));
    EXPECT_EQ(Errors(), 0);
    // A pty has no modem lines: each kind of failure is told once, as a warning.
    for (const TReport& r : Reports) {
        if (r.Place == 501 || r.Place == 602 || r.Place == 9905) {
            EXPECT_EQ(r.Noise, 1) << r.Place;
        }
    }
    EXPECT_LE(At(9905).size(), 1u);
}

TEST_F(SerialPortTest, VanishedDeviceIsReportedOnceAndClosesThePort) {
    Port->SetClusterSize(1);
    Open();
    Peer.Write("last");
    Peer.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return Errors() > 0; }));
    DrainEvents();
    EXPECT_EQ(Errors(), 1);
    ASSERT_EQ(At(9804).size(), 1u);
    EXPECT_EQ(At(9804)[0].Code, std::uint32_t(EIO));
    EXPECT_FALSE(Port->Active());
    EXPECT_EQ(Port->ComHandle(), -1);
    Port->SetActive(false);  // nothing left to close
    EXPECT_EQ(Errors(), 1);
}

// The loss is handed over like every other worker report: a handler that throws is caught at
// the queued call and the port still ends up closed.
TEST_F(SerialPortTest, ThrowingHandlerOfAVanishedDeviceIsContained) {
    Port->SetClusterSize(1);
    Port->OnProcessError = [this](TSerialPortNG*, std::uint32_t place, std::uint32_t code,
                                  const QString& msg, std::uint8_t noise) {
        Reports.push_back({place, code, msg, noise});
        if (place == 9804)
            throw std::runtime_error("handler failed");
    };
    Open();
    Peer.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return !At(9804).empty(); }));
    DrainEvents();
    EXPECT_EQ(At(9804).size(), 1u);
    EXPECT_EQ(Port->ComHandle(), -1);
}

TEST_F(SerialPortTest, CloseNotesAndDropsQueuedEvents) {
    Port->SetClusterSize(1);
    Port->OnRxClusterEvent = [this](TSerialPortNG*) { Packets.emplace_back(); };
    Open();
    Peer.Write("abc");
    ASSERT_TRUE(WaitUntil([&] { return Port->ClusterCount() > 0; }));
    const std::size_t seen = Packets.size();
    Port->SetActive(false);
    EXPECT_FALSE(Port->Active());
    ASSERT_EQ(At(100).size(), 1u);
    EXPECT_EQ(At(100)[0].Msg, "Start deactivating Port");
    DrainEvents();
    EXPECT_EQ(Packets.size(), seen);  // events of a closed open are not delivered
    EXPECT_FALSE(Port->ReadNextClusterAsString().empty());  // the packets themselves stay

    // Keep flag: a peeking reader leaves the packet queued.
    const std::size_t count = Port->ClusterCount();
    Port->SetKeepCluster(true);
    Port->ReadNextClusterAsString();
    EXPECT_EQ(Port->ClusterCount(), count);
}

TEST_F(SerialPortTest, ManyOpenCloseCyclesAndDestructionWithEventsQueued) {
    Port->SetClusterSize(1);
    for (int i = 0; i < 40; ++i) {
        Open();
        Peer.Write("ping");
        Port->SendString("pong");
        if (i % 4 == 0)
            DrainEvents();
        Port->SetActive(false);
    }
    Peer.ReadAvailable();
    EXPECT_EQ(Errors(), 0);

    // Destroying the port with events still queued delivers none of them.
    Open();
    Peer.Write("late");
    ASSERT_TRUE(WaitUntil([&] { return Port->ClusterCount() > 0 || !Packets.empty(); }));
    bool called = false;
    Port->OnRxClusterEvent = [&](TSerialPortNG*) { called = true; };
    Port->OnCommStat = [&](TSerialPortNG*) { called = true; };
    Port.reset();
    DrainEvents();
    EXPECT_FALSE(called);
}
