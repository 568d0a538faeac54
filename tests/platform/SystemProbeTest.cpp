// Virtual-machine detection, removable media and the process list on fake /sys and /proc trees.
#include "platform/SystemProbe.h"

#include "support/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

class FakeSystem : public ::testing::Test {
protected:
    QTemporaryDir FDir;
    QString Sys() const { return FDir.filePath("sys"); }
    QString Proc() const { return FDir.filePath("proc"); }

    void Put(const QString& relative, const QByteArray& content) {
        ASSERT_TRUE(WriteAllBytes(FDir.filePath(relative), content));
    }
    void Dmi(const QByteArray& vendor, const QByteArray& product) {
        Put("sys/class/dmi/id/sys_vendor", vendor + "\n");
        Put("sys/class/dmi/id/product_name", product + "\n");
    }
    void CpuFlags(const QByteArray& flags) {
        Put("proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\nflags\t\t: " + flags +
                                "\nbugs\t\t: hypervisor_bug\n\nprocessor\t: 1\nflags\t\t: " + flags + "\n");
    }
    QString Detect(bool* found = nullptr) {
        QString name = "stale";
        const bool result = DetectVirtualMachineIn(Sys(), Proc(), name);
        if (found)
            *found = result;
        EXPECT_EQ(result, !name.isEmpty());
        return name;
    }
};

}  // namespace

TEST_F(FakeSystem, KnownMachinesGetTheirNamesFromDmi) {
    const struct {
        const char* Vendor;
        const char* Product;
        const char* Name;
    } cases[] = {
        {"innotek GmbH", "VirtualBox", "VirtualBox"},
        {"VMware, Inc.", "VMware Virtual Platform", "VMWare"},
        {"Parallels Software International Inc.", "Parallels Virtual Platform", "Parallels"},
        {"Microsoft Corporation", "Virtual Machine", "VirtualPC"},
        {"QEMU", "Standard PC (Q35 + ICH9, 2009)", "QEMU"},
    };
    CpuFlags("fpu vme sse2");  // no flag: the DMI names alone decide
    for (const auto& c : cases) {
        Dmi(c.Vendor, c.Product);
        EXPECT_EQ(Detect(), c.Name) << c.Vendor;
    }
}

TEST_F(FakeSystem, HypervisorFlagGivesTheHypervisorsOwnName) {
    CpuFlags("fpu vme hypervisor sse2");
    Dmi("Amazon EC2", "m5.large");
    EXPECT_EQ(Detect(), "Amazon EC2");
    Put("sys/hypervisor/type", "xen\n");
    EXPECT_EQ(Detect(), "xen");
}

TEST_F(FakeSystem, NoVirtualMachineOnBareOrMissingTrees) {
    bool found = true;
    EXPECT_EQ(Detect(&found), ""); // nothing there at all
    EXPECT_FALSE(found);
    Dmi("Dell Inc.", "Microsoft Surface Laptop"); // Microsoft alone is no Hyper-V guest
    CpuFlags("fpu vmx svm nohypervisor");         // a flag is matched as a whole word
    EXPECT_EQ(Detect(&found), "");
    EXPECT_FALSE(found);
    CpuFlags("hypervisor"); // the flag without any name still counts
    QDir(Sys()).removeRecursively();
    EXPECT_EQ(Detect(&found), "Hypervisor");
    EXPECT_TRUE(found);
}

// The device of a file is looked up as the fake tree lays it out: a partition's disk, a mapped
// device's disks beneath, the flag of each. Paths below are relative to sys/devices/.
TEST_F(FakeSystem, RemovableMediaByTheDisksFlag) {
    struct Case {
        const char* Name;
        QString Device;    // where the file's device entry leads
        QStringList Flags; // disks whose removable flag is 1; every other disk says 0
        QStringList Slaves; // the devices a mapped device lies on
        bool Removable;
    };
    const QString stick = "usb1/1-1/host6/block/sdb", disk = "ata1/host0/block/sda", dm = "virtual/block/dm-0";
    const std::vector<Case> cases = {
        {"partition of a stick", stick + "/sdb1", {stick}, {}, true},
        {"partition of a fixed disk", disk + "/sda2", {}, {}, false},
        {"a stick without partitions", stick, {stick}, {}, true},
        {"a partition's own flag is not the disk's", disk + "/sda1", {disk + "/sda1"}, {}, false},
        {"encrypted on a stick", dm, {stick}, {stick + "/sdb1"}, true},
        {"encrypted on a fixed disk", dm, {}, {disk + "/sda2"}, false},
    };
    const QString file = FDir.filePath("program");
    ASSERT_TRUE(WriteAllBytes(file, QByteArray("ELF")));
    int n = 0;
    for (const Case& c : cases) {
        const QString sys = FDir.filePath(QStringLiteral("sys%1").arg(++n));
        const QString devices = sys + "/devices/";
        ASSERT_TRUE(LinkBlockDeviceOf(sys, file, "devices/" + c.Device)) << c.Name;
        for (const QString& d : {stick, disk, dm})
            ASSERT_TRUE(WriteAllBytes(devices + d + "/removable", c.Flags.contains(d) ? "1\n" : "0\n"));
        for (const QString& part : {stick + "/sdb1", disk + "/sda1", disk + "/sda2"})
            ASSERT_TRUE(WriteAllBytes(devices + part + "/partition", "1\n"));
        ASSERT_TRUE(WriteAllBytes(devices + disk + "/sda1/removable", c.Flags.contains(disk + "/sda1") ? "1\n" : "0\n"));
        for (const QString& slave : c.Slaves) {
            ASSERT_TRUE(QDir().mkpath(devices + dm + "/slaves"));
            ASSERT_TRUE(QFile::link(devices + slave, devices + dm + "/slaves/" + QFileInfo(slave).fileName()));
        }
        EXPECT_EQ(IsOnRemovableMediaIn(file, sys), c.Removable) << c.Name;
    }
    // A file system on no block device, a missing file.
    EXPECT_FALSE(IsOnRemovableMediaIn(file, FDir.filePath("nothing")));
    EXPECT_FALSE(IsOnRemovableMediaIn(FDir.filePath("missing"), FDir.filePath("sys1")));
}

TEST_F(FakeSystem, ProcessListReadsExeLinksAndCommandLines) {
    QDir().mkpath(Proc() + "/101");
    ASSERT_TRUE(QFile::link("/usr/bin/VBoxService", Proc() + "/101/exe"));
    QDir().mkpath(Proc() + "/102");
    ASSERT_TRUE(QFile::link("/opt/kv/kvwt (deleted)", Proc() + "/102/exe"));
    Put("proc/103/cmdline", QByteArray("/usr/sbin/sshd\0-D\0", 18));   // exe not readable
    Put("proc/104/cmdline", QByteArray());                            // a kernel thread
    Put("proc/self/cmdline", QByteArray("/bin/fake\0", 10));          // not a process number
    Put("proc/cpuinfo", "flags : fpu\n");
    QStringList list{"kept"};
    ListProcessesIn(Proc(), list);
    list.sort();
    EXPECT_EQ(list, QStringList({"/opt/kv/kvwt", "/usr/bin/VBoxService", "/usr/sbin/sshd", "kept"}));
}
