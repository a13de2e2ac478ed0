#pragma once

#include <cstdint>

// The calls the exchange makes on the maker's bidirectional library (libQvxBce.so). Handles are 16-bit
// values passed in 32-bit slots.
extern "C" {

constexpr uint32_t kBcePrinterRecordSize = 412;
constexpr uint32_t kBcePortNameOffset = 6;        // port name, ending with a zero byte
constexpr uint32_t kBcePrinterHandleOffset = 86;  // 16-bit printer handle, host byte order
constexpr uint32_t kBceRegisterFailed = 0xFFFF;
constexpr uint32_t kBceEnumFlags = 0x80000C00;
constexpr uint32_t kBceAlertFilter = 0x00040100;
constexpr uint32_t kBceSendFlags = 0xAA;
constexpr uint32_t kBceAlertQueryKind = 2;
constexpr uintptr_t kBceNotificationMessage = 0x0400 + 510;  // WM_USER+510, posted to the alert window

using BceEnumCallback = uint16_t (*)(const uint8_t* printerRecord);

using BceRegisterAppFn = uint32_t (*)(uint32_t reserved);
using BceUnregisterAppFn = uint32_t (*)(uint32_t app);
// The reply length holds the buffer size before the call and the reply's size after it; 0 is success.
using BceSendBidiFn = int32_t (*)(uint32_t app, uint32_t printer, uint32_t reserved, uint32_t flags,
                                  uint8_t* reply, uint32_t* replyLength, const uint8_t* command,
                                  uint32_t commandLength);
using BceEnumPrintersFn = int32_t (*)(uint32_t app, uint32_t flags, BceEnumCallback callback);
using BceCaptureAlertsFn = int32_t (*)(uint32_t app, uint32_t printer, uint32_t* filter, uintptr_t window,
                                       uint32_t reserved);
using BceQueryAlertsFn = int32_t (*)(uint32_t app, uint32_t wParamHigh, uintptr_t wParam, uint32_t kind,
                                     uint8_t* buffer, uint32_t* length);
}
