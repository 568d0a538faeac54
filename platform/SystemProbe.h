// What the running system tells about itself through /proc and sysfs. The roots are parameters
// so that tests can hand in a fake tree.
#pragma once

#include <QString>
#include <QStringList>

// The full path of the running program file (empty when the system does not say).
QString ProgramFilePath();

// Looks for a virtual machine: the DMI vendor and product names under
// <sysRoot>/class/dmi/id and the "hypervisor" CPU flag in <procRoot>/cpuinfo. Known machines get
// the names "VirtualBox", "VMWare", "Parallels" and "VirtualPC" (Hyper-V); others the
// hypervisor's own name (<sysRoot>/hypervisor/type, else the DMI vendor, else "Hypervisor").
// True when a machine was found; name is empty otherwise.
bool DetectVirtualMachineIn(const QString& sysRoot, const QString& procRoot, QString& name);

// True when the file lies on removable media (a USB stick, a card): the "removable" flag of the
// disk under <sysRoot>/dev/block that holds its file system, looked up through a partition to
// its disk and through a mapped device (encryption, RAID) to the disks beneath. False for a file
// system on no block device (network, memory) and when the file or the flag cannot be read.
bool IsOnRemovableMediaIn(const QString& fileName, const QString& sysRoot);

// Adds the full program path of every process under procRoot whose program can be read (its
// "exe" link, else the first word of its command line); processes we may not read are left out.
void ListProcessesIn(const QString& procRoot, QStringList& list);
