/* kvant: the ANT stick library of Kavelo Training. The program loads it at run time (dlopen)
 * and reaches the stick only through these 20 entry points. The library speaks the ANT serial
 * message protocol (sync 0xA4, length, message id, payload, XOR checksum) to a USB ANT stick:
 * through libusb for sticks that are plain USB devices, through the tty for sticks behind a
 * USB serial bridge. A reader thread of its own delivers what the stick sends through the two
 * callbacks.
 *
 * Device numbers count, in this order: the ttys named in the environment variable KVANT_SERIAL
 * (paths separated by ':'), then the sticks found under /sys/bus/usb/devices (vendor 0x0FCF).
 */
#ifndef KVANT_H
#define KVANT_H

#ifdef __cplusplus
#include <cstdint>
extern "C" {
#else
#include <stdbool.h>
#include <stdint.h>
#endif

#define KVANT_VERSION 0x0100
/* The callback buffers must hold this many bytes: a message's payload, the rest zeroed. */
#define KVANT_MESSAGE_BUFFER_SIZE 41
/* The text buffers of ANT_GetDeviceUSBInfo must hold this many bytes. */
#define KVANT_USB_STRING_SIZE 256

/* Message ids of the ANT serial protocol. */
#define KVANT_MESG_SYNC 0xA4
#define KVANT_MESG_CHANNEL_RESPONSE 0x40 /* [channel, message answered, code]; answered 0x01: an event */
#define KVANT_MESG_EVENT 0x01
#define KVANT_MESG_UNASSIGN_CHANNEL 0x41
#define KVANT_MESG_ASSIGN_CHANNEL 0x42
#define KVANT_MESG_CHANNEL_PERIOD 0x43
#define KVANT_MESG_CHANNEL_RF_FREQ 0x45
#define KVANT_MESG_NETWORK_KEY 0x46
#define KVANT_MESG_TRANSMIT_POWER 0x47
#define KVANT_MESG_RESET_SYSTEM 0x4A
#define KVANT_MESG_OPEN_CHANNEL 0x4B
#define KVANT_MESG_CLOSE_CHANNEL 0x4C
#define KVANT_MESG_REQUEST 0x4D
#define KVANT_MESG_BROADCAST_DATA 0x4E
#define KVANT_MESG_ACKNOWLEDGED_DATA 0x4F
#define KVANT_MESG_BURST_DATA 0x50
#define KVANT_MESG_CHANNEL_ID 0x51
#define KVANT_MESG_CAPABILITIES 0x54
#define KVANT_MESG_STARTUP 0x6F

/* Response codes and events of the stick (third byte of a channel response). */
#define KVANT_RESPONSE_NO_ERROR 0x00
#define KVANT_EVENT_RX_SEARCH_TIMEOUT 0x01
#define KVANT_EVENT_RX_FAIL 0x02
#define KVANT_EVENT_CHANNEL_CLOSED 0x07
/* Events of the library: received data (the buffer holds [channel, 8 data bytes]) ... */
#define KVANT_EVENT_RX_BROADCAST 0x9A
#define KVANT_EVENT_RX_ACKNOWLEDGED 0x9B
#define KVANT_EVENT_RX_BURST_PACKET 0x9C
/* ... and the stick gone (unplugged, read error): sent once to every assigned channel. */
#define KVANT_EVENT_DEVICE_LOST 0xE0

/* Both callbacks run on the library's reader thread and return true. */
typedef bool (*ANT_RESPONSE_FUNC)(unsigned char Channel, unsigned char MessageId);
typedef bool (*ANT_CHANNEL_EVENT_FUNC)(unsigned char Channel, unsigned char Event);

/* Opens stick DeviceNum and starts the reader; true when the stick answers. */
bool ANT_Init(unsigned char DeviceNum, unsigned int Baudrate);
/* Stops the reader (joined) and closes the stick; no callback runs after it returns. */
void ANT_Close(void);
/* The set-up calls: true when the stick accepted the command. Called on the reader thread
 * (from a callback) they only send. */
bool ANT_ResetSystem(void);
bool ANT_AssignChannel(unsigned char Channel, unsigned char ChannelType, unsigned char Network);
bool ANT_UnAssignChannel(unsigned char Channel);
bool ANT_SetChannelId(unsigned char Channel, unsigned short DeviceNumber, unsigned char DeviceType,
                      unsigned char TransmissionType);
bool ANT_SetChannelPeriod(unsigned char Channel, unsigned short Period);
bool ANT_SetChannelRFFreq(unsigned char Channel, unsigned char Frequency);
bool ANT_SetTransmitPower(unsigned char Power);
bool ANT_OpenChannel(unsigned char Channel);
bool ANT_CloseChannel(unsigned char Channel);
bool ANT_SetNetworkKey(unsigned char Network, const unsigned char* Key /* 8 bytes */);
bool ANT_RequestMessage(unsigned char Channel, unsigned char MessageId);
/* Callbacks (NULL removes one). Once these return, the callback they replace no longer runs. */
void ANT_AssignResponseFunction(ANT_RESPONSE_FUNC Func, unsigned char* Buffer);
void ANT_AssignChannelEventFunction(unsigned char Channel, ANT_CHANNEL_EVENT_FUNC Func,
                                    unsigned char* Buffer);
void ANT_UnassignAllResponseFunctions(void);
void ANT_Nap(unsigned int Milliseconds);
/* Product and serial texts of stick DeviceNum, zero-terminated. */
bool ANT_GetDeviceUSBInfo(unsigned char DeviceNum, unsigned char* Product, unsigned char* Serial);
/* USB product id of the open stick. */
bool ANT_GetDeviceUSBPID(unsigned short* Pid);
unsigned int ANT_LibVersion(void);

#ifdef __cplusplus
}
#endif

#endif
