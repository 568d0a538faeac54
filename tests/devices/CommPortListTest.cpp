#include "devices/serial/CommPortList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A sysfs tree as the kernel lays it out: class/tty entries are links into devices/.
class FakeSysfs {
public:
    void AddTty(const QString& name, bool withDevice, const char* type = nullptr) {
        const QString real = Root.filePath("devices/virtual/" + name);
        QDir().mkpath(real);
        if (withDevice) {
            QDir().mkpath(Root.filePath("devices/hw/" + name));
            QFile::link(Root.filePath("devices/hw/" + name), real + "/device");
        }
        if (type) {
            QFile f(real + "/type");
            f.open(QIODevice::WriteOnly);
            f.write(type);
        }
        QDir().mkpath(Root.filePath("class/tty"));
        QFile::link(real, Root.filePath("class/tty/" + name));
    }
    QString Path() const { return Root.path(); }

private:
    QTemporaryDir Root;
};

}  // namespace

TEST(CommPortList, ListsSerialPortsOnceWithFullUnchangedPaths) {
    FakeSysfs sys;
    sys.AddTty("tty1", false);           // virtual console
    sys.AddTty("ttyS0", true, "4\n");    // 16550A
    sys.AddTty("ttyS1", true, "0\n");    // empty 8250 slot
    sys.AddTty("ttyUSB0", true);
    sys.AddTty("ttyACM0", true);
    sys.AddTty("ttyXRUSB0", true);       // other drivers keep their own names
    sys.AddTty("rfcomm0", false);
    sys.AddTty("ptmx", false);

    QStringList list{"/dev/ttyUSB0", "keep me"};
    GetCommPortList(list, sys.Path());
    EXPECT_EQ(list, (QStringList{"/dev/ttyUSB0", "keep me", "/dev/rfcomm0", "/dev/ttyACM0",
                                 "/dev/ttyS0", "/dev/ttyXRUSB0"}));

    GetCommPortList(list, sys.Path());  // a second call adds nothing
    EXPECT_EQ(list.size(), 6);
}

TEST(CommPortList, MissingTreeGivesNothing) {
    QStringList list;
    GetCommPortList(list, "/nonexistent-sysfs");
    EXPECT_TRUE(list.isEmpty());
}
