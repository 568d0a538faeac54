// Virtual-machine detection and the process list on fake /sys and /proc trees.
#include "platform/SystemProbe.h"

#include "support/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
