#include "devices/FourthMarkInterface.h"
#include "devices/SliderInterface.h"
#include "devices/TrainingModuleInterface.h"
#include "devices/UsbSerialInterface.h"
#include "devices/serial/SerialPort.h"
#include "devices/serial/UsbAdapters.h"

#include "support/FakeClock.h"
#include "support/PtyPeer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <memory>

namespace {

// A sysfs tree with USB serial adapters laid out as the kernel does: the tty below the USB
// interface below the USB device, which holds idVendor, idProduct and serial.
class FakeUsbSysfs {
public:
    void AddAdapter(const QString& tty, const char* vendor, const char* product,
                    const char* serial, bool present = true) {
        const QString bus = QStringLiteral("1-%1").arg(++FCount);
        const QString device = Root.filePath("devices/pci0000:00/usb1/" + bus);
        const QString port = device + "/" + bus + ":1.0/" + tty;
        const QString ttyDir = port + "/tty/" + tty;
        QDir().mkpath(ttyDir);
        Write(device + "/idVendor", vendor);
        Write(device + "/idProduct", product);
        if (serial)
            Write(device + "/serial", serial);
        QFile::link(port, ttyDir + "/device");
        QDir().mkpath(Root.filePath("class/tty"));
        QFile::link(ttyDir, Root.filePath("class/tty/" + tty));
        if (!present)
            QDir(device).removeRecursively();  // unplugged: the links dangle
    }
    void AddUart(const QString& tty) {
        const QString dir = Root.filePath("devices/platform/serial8250/tty/" + tty);
        QDir().mkpath(dir);
        Write(dir + "/type", "4\n");
        QFile::link(Root.filePath("devices/platform/serial8250"), dir + "/device");
        QDir().mkpath(Root.filePath("class/tty"));
        QFile::link(dir, Root.filePath("class/tty/" + tty));
    }
    TUsbLookup Lookup(bool virtualMachine = false) const {
        return {Root.path(), virtualMachine};
    }

private:
    static void Write(const QString& file, const char* text) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QTemporaryDir Root;
    int FCount = 0;
};

class UsbAdapters : public ::testing::Test {
protected:
    void SetUp() override {
        Sys.AddUart("ttyS0");
        Sys.AddAdapter("ttyUSB0", "0403\n", "6001\n", "A9K3XY01\n");
        Sys.AddAdapter("ttyUSB1", "0403", "6015", "OTHERFT1");      // another FTDI product
        Sys.AddAdapter("ttyUSB2", "0403", "6001", "GONE0001", false);  // unplugged
        Sys.AddAdapter("ttyACM0", "10c4", "82ba", "VSU00001");
        Sys.AddAdapter("ttyUSB3", "10C4", "82BA", nullptr);
    }
    FakeUsbSysfs Sys;
};

}  // namespace

TEST_F(UsbAdapters, FindsPresentAdaptersByVendorAndProduct) {
    const QList<TUsbSerialPort> ports = ListUsbSerialPorts(Sys.Lookup().SysfsRoot);
    QStringList names;
    for (const TUsbSerialPort& p : ports)
        names << p.PortName;
    EXPECT_EQ(names, (QStringList{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB3"}));

    QStringList k3{"stale"};
    GetK3PortList(k3, Sys.Lookup());
    EXPECT_EQ(k3, QStringList{"/dev/ttyUSB0"});
    // ttyUSB2's key is gone with the adapter; names are never case-folded.
    for (auto [port, k3] : {std::pair{"DEMO", true}, {"/dev/ttyUSB0", true}, {"ttyUSB0", true},
                            {"/dev/ttyS0", false}, {"/dev/ttyUSB2", false}, {"/dev/ttyusb0", false}})
        EXPECT_EQ(IsK3Port(port, Sys.Lookup()), k3) << port;
}

TEST_F(UsbAdapters, DeviceIdAndPortBySerial) {
    struct Case {
        bool vm;
        const char* port;
        const char* id;
    } cases[] = {
        {false, "/dev/ttyUSB0", "A9K3XY01"},
        {false, "ttyUSB0", "A9K3XY01"},
        {false, "/dev/ttyS0", "?"},
        {false, "/dev/ttyUSB1", "?"},
        {true, "/dev/ttyUSB0", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetK3DeviceID(c.port, Sys.Lookup(c.vm)), c.id) << c.port << " vm " << c.vm;
    EXPECT_EQ(GetK3PortBySerial("A9K3XY01", Sys.Lookup()), "/dev/ttyUSB0");
    EXPECT_EQ(GetK3PortBySerial("GONE0001", Sys.Lookup()), "?");
    EXPECT_EQ(GetK3PortBySerial("A9K3XY01", Sys.Lookup(true)), "");
}

TEST_F(UsbAdapters, TrainingModulePortsNarrowTheList) {
    QStringList list{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyUSB3"};
    GetVSPortList(list, Sys.Lookup());
    EXPECT_EQ(list, (QStringList{"/dev/ttyACM0", "/dev/ttyUSB3"}));

    QStringList without{"/dev/ttyS0"};
    GetVSPortList(without, Sys.Lookup());
    EXPECT_TRUE(without.isEmpty());

    QStringList vm{"/dev/ttyS0", "/dev/ttyUSB0"};
    GetVSPortList(vm, Sys.Lookup(true));
    EXPECT_EQ(vm, (QStringList{"/dev/ttyS0", "/dev/ttyUSB0"}));
}

// The module's interface searches the module's adapters; without one (or on a virtual machine,
// where the adapters are not looked up) every plain port is searched.
TEST_F(UsbAdapters, TrainingModuleSearchesThePlainPortsWithoutItsAdapter) {
    FakeUsbSysfs noModule;
    noModule.AddUart("ttyS0");
    noModule.AddAdapter("ttyUSB0", "0403", "6001", "A9K3XY01");
    noModule.AddAdapter("ttyUSB1", "10c4", "82ba", "UNPLUGGED", false);
    struct Case { const char* Name; TUsbLookup Lookup; QStringList Ports; };
    for (const Case& c : {Case{"module adapters", Sys.Lookup(), {"/dev/ttyACM0", "/dev/ttyUSB3"}},
                          Case{"virtual machine", Sys.Lookup(true),
                               {"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB3"}},
                          Case{"no module adapter", noModule.Lookup(), {"/dev/ttyS0", "/dev/ttyUSB0"}}}) {
        std::unique_ptr<TVSInterface> vs(CreateInterface<TVSInterface>(nullptr));
        vs->SetUsbLookup(c.Lookup);
        vs->ComPortUpdateList();
        EXPECT_EQ(vs->PortList(), c.Ports) << c.Name;
    }
}

TEST_F(UsbAdapters, K3PortListIsTheAdaptersOrThePlainListOnAVirtualMachine) {
    std::unique_ptr<TK3Interface> k3(CreateInterface<TK3Interface>(nullptr));
    EXPECT_EQ(k3->InterfaceType(), 2);
    EXPECT_EQ(k3->ProtocolSet(), (TKeloProtocolSet{kvpDOS, kvpKvw, kvpKV3W}));
    k3->SetUsbLookup(Sys.Lookup());
    k3->ComPortUpdateList();
    EXPECT_EQ(k3->PortList(), QStringList{"/dev/ttyUSB0"});
    k3->SetUsbLookup(Sys.Lookup(true));
    k3->ComPortUpdateList();
    EXPECT_EQ(k3->PortList(), (QStringList{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0",
                                           "/dev/ttyUSB1", "/dev/ttyUSB3"}));
}

TEST(UsbSerialInterface, NamesTheDeviceWhileOpen) {
    for (bool vm : {false, true}) {
        TPtyPeer peer;
        TFakeClock clock;
        std::unique_ptr<TK3Interface> k3(CreateInterface<TK3Interface>(nullptr));
        k3->SetUsbLookup({QStringLiteral("/nonexistent"), vm});
        k3->SetClock(&clock);
        k3->Open(kSourceSerial, peer.SlavePath());
        ASSERT_TRUE(k3->IsConnected());
        // A pty belongs to no adapter.
        EXPECT_EQ(k3->DeviceID(), vm ? "" : "?");
        k3->Close();
        EXPECT_EQ(k3->DeviceID(), "");
    }
}

TEST(SliderInterface, WakesTheSliderBeforeWaitingForItsLine) {
    TPtyPeer peer;
    TFakeClock clock;
    std::unique_ptr<TVDInterface> vd(CreateInterface<TVDInterface>(nullptr));
    vd->SetClock(&clock);
    EXPECT_EQ(vd->InterfaceType(), 5);
    EXPECT_EQ(vd->ProtocolSet(), TKeloProtocolSet{kvpVSDebug});
    EXPECT_EQ(vd->Port()->BaudRate(), 115200u);
    EXPECT_EQ(vd->Port()->FlowControl(), 0x1000);
    EXPECT_FALSE(vd->RTSOnOpen());
    EXPECT_FALSE(vd->DTROnOpen());
    // The slider answers only once woken, while OpenAndWait is still waiting.
    std::string woken;
    clock.OnWait = [&](unsigned) {
        woken += peer.ReadAvailable();
        if (woken == "\r\n") {
            peer.Write("VELTRO Slider VSM 1.3\n");
            woken += "answered";
        }
    };
    vd->OpenAndWait(kSourceSerial, peer.SlavePath());
    clock.OnWait = nullptr;
    EXPECT_EQ(woken, "\r\nanswered");
    EXPECT_TRUE(vd->ValidData());
    EXPECT_EQ(vd->State(), kvsOpened);
    vd->Close();
}

TEST(FourthMarkInterface, NeverOpensAndHasNoDemo) {
    TPtyPeer peer;
    std::unique_ptr<TZTInterface> zt(CreateInterface<TZTInterface>(nullptr));
    EXPECT_EQ(zt->InterfaceType(), 4);
    EXPECT_EQ(zt->ProtocolSet(), TKeloProtocolSet{kvpZtIV});
    std::vector<std::string> log;
    std::vector<QString> errors;
    zt->OnStateChange = [&](TInterface*, TKeloState, TKeloState to) {
        log.emplace_back(StateName(to));
    };
    zt->OnError = [&](TInterface*, const QString& msg) { errors.push_back(msg); };
    zt->Open(kSourceSerial, peer.SlavePath());
    EXPECT_EQ(log, (std::vector<std::string>{"Opening", "Closing", "Closed"}));
    EXPECT_FALSE(zt->IsConnected());
    EXPECT_EQ(zt->SourceName(), "");
    log.clear();
    zt->Open(kSourceDemo, "DEMO");
    EXPECT_EQ(errors, std::vector<QString>{"Demo data not supported yet"});
    EXPECT_EQ(zt->State(), kvsOpening);
    zt->Close();
    EXPECT_EQ(log, (std::vector<std::string>{"Opening", "Closing", "Closed"}));
}
