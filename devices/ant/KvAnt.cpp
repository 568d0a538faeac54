// The 20 entry points of the library, each a thin call into the one stick.
#include "devices/ant/AntStick.h"
#include "devices/ant/KvAnt.h"

#include <chrono>
#include <thread>

#define KVANT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

kvant::TAntStick& Stick() {
    static kvant::TAntStick stick;  // closed (reader joined) when the library is unloaded
    return stick;
}

}  // namespace

KVANT_EXPORT bool ANT_Init(unsigned char DeviceNum, unsigned int Baudrate) {
    return Stick().Init(DeviceNum, Baudrate);
}

KVANT_EXPORT void ANT_Close(void) {
    Stick().Close();
}

KVANT_EXPORT bool ANT_ResetSystem(void) {
    return Stick().Reset();
}

KVANT_EXPORT bool ANT_AssignChannel(unsigned char Channel, unsigned char ChannelType,
                                    unsigned char Network) {
    return Stick().Command(KVANT_MESG_ASSIGN_CHANNEL, {Channel, ChannelType, Network});
}

KVANT_EXPORT bool ANT_UnAssignChannel(unsigned char Channel) {
    return Stick().Command(KVANT_MESG_UNASSIGN_CHANNEL, {Channel});
}

KVANT_EXPORT bool ANT_SetChannelId(unsigned char Channel, unsigned short DeviceNumber,
                                   unsigned char DeviceType, unsigned char TransmissionType) {
    return Stick().Command(KVANT_MESG_CHANNEL_ID,
                           {Channel, std::uint8_t(DeviceNumber & 0xFF), std::uint8_t(DeviceNumber >> 8),
                            DeviceType, TransmissionType});
}

KVANT_EXPORT bool ANT_SetChannelPeriod(unsigned char Channel, unsigned short Period) {
    return Stick().Command(KVANT_MESG_CHANNEL_PERIOD,
                           {Channel, std::uint8_t(Period & 0xFF), std::uint8_t(Period >> 8)});
}

KVANT_EXPORT bool ANT_SetChannelRFFreq(unsigned char Channel, unsigned char Frequency) {
    return Stick().Command(KVANT_MESG_CHANNEL_RF_FREQ, {Channel, Frequency});
}

KVANT_EXPORT bool ANT_SetTransmitPower(unsigned char Power) {
    return Stick().Command(KVANT_MESG_TRANSMIT_POWER, {0, Power});
}

KVANT_EXPORT bool ANT_OpenChannel(unsigned char Channel) {
    return Stick().Command(KVANT_MESG_OPEN_CHANNEL, {Channel});
}

KVANT_EXPORT bool ANT_CloseChannel(unsigned char Channel) {
    return Stick().Command(KVANT_MESG_CLOSE_CHANNEL, {Channel});
}

KVANT_EXPORT bool ANT_SetNetworkKey(unsigned char Network, const unsigned char* Key) {
    if (!Key)
        return false;
    std::vector<std::uint8_t> payload(9);
    payload[0] = Network;
    for (int i = 0; i < 8; ++i)
        payload[std::size_t(i) + 1] = Key[i];
    return Stick().Command(KVANT_MESG_NETWORK_KEY, payload);
}

KVANT_EXPORT bool ANT_RequestMessage(unsigned char Channel, unsigned char MessageId) {
    // The answer is the requested message itself, delivered to the response function.
    return Stick().Send(KVANT_MESG_REQUEST, {Channel, MessageId});
}

KVANT_EXPORT void ANT_AssignResponseFunction(ANT_RESPONSE_FUNC Func, unsigned char* Buffer) {
    Stick().AssignResponse(Func, Buffer);
}

KVANT_EXPORT void ANT_AssignChannelEventFunction(unsigned char Channel, ANT_CHANNEL_EVENT_FUNC Func,
                                                 unsigned char* Buffer) {
    Stick().AssignChannelEvent(Channel, Func, Buffer);
}

KVANT_EXPORT void ANT_UnassignAllResponseFunctions(void) {
    Stick().UnassignAll();
}

KVANT_EXPORT void ANT_Nap(unsigned int Milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

KVANT_EXPORT bool ANT_GetDeviceUSBInfo(unsigned char DeviceNum, unsigned char* Product,
                                       unsigned char* Serial) {
    return Stick().UsbInfo(DeviceNum, Product, Serial);
}

KVANT_EXPORT bool ANT_GetDeviceUSBPID(unsigned short* Pid) {
    return Stick().Pid(Pid);
}

KVANT_EXPORT unsigned int ANT_LibVersion(void) {
    return KVANT_VERSION;
}
