// Raw recording and demo playback of the KV family. Nothing is recorded and no demo data is
// played yet: a demo open reports that there is no demo data.
#include "devices/untInterfaceKV.h"

void TKVInterface::RecordStart() {}

void TKVInterface::RecordData() {}

void TKVInterface::RecordStop() {}

void TKVInterface::DemoOpen() {
    throw EKeloError(std::string("No demo data"));
}

void TKVInterface::DemoClose() {}

bool TKVInterface::DemoRead() {
    return false;
}

void TKVInterface::DemoProcess() {}

void TKVInterface::DemoTimer() {}
