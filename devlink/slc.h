#pragma once

#include <cstdint>
#include <string>

// The device link: one open port at a time (spooled parallel port, USB printer or command file).

constexpr int SLC_OPEN_UNIDIRECTIONAL = 1;  // a parallel port opened as a spooled port: nothing can be read
constexpr int SLC_OK = 0;
constexpr int SLC_OPEN_FAIL = -1;      // the port, the USB pipe or the offline file cannot be opened
constexpr int SLC_PORT_NOT_OPEN = -2;  // the name given is not the open port
constexpr int SLC_SEND_TOOLARGE = -3;  // the command is longer than 512 bytes
constexpr int SLC_OFFLINE_WRITEFAIL = -3;
constexpr int SLC_OFFLINE_REJECTED = -4;
constexpr int SLC_SEND_WRITEFAIL = -5;  // the NPA start packet or the command was not written whole
constexpr int SLC_SEND_READFAIL = -6;   // no reply within the reply time-out
constexpr int SLC_SEND_RESPTOOLARGE = -7;

void SlcInit();
int SlcOpenPort(const std::string& port);
// Only the low 16 bits of length count. reply and replyLength may be null; *replyLength holds the reply
// buffer's size on entry and the reply's size on return.
int SlcSendCommand(const std::string& port, const uint8_t* command, uint32_t length, uint8_t* reply,
                   uint32_t* replyLength);
int SlcOffline(const std::string& port, uint8_t offline);
int SlcClosePort(const std::string& port);
void SlcShutdown();
// Sends a spooled parallel port's offline and spool files to the port; SlcClosePort calls it.
int SlcCopyFiles();
