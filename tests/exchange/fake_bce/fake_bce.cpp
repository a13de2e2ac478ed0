// A stand-in for libQvxBce.so. Each build can leave out one of the six functions (FAKE_BCE_OMIT_<name>),
// so a test sees how the exchange binds a library that lacks it.
#include "tests/exchange/fake_bce/fake_bce.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "exchange/bce_api.h"

namespace {

struct FakePrinter {
    uint8_t record[kBcePrinterRecordSize] = {};
};

struct FakeState {
    uint32_t registerResult = 7;
    std::vector<FakePrinter> printers;
    FakeBceResponder responder = nullptr;
    void* context = nullptr;
    std::string calls;
};

FakeState& State() {
    static FakeState state;
    return state;
}

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
    char line[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    State().calls += line;
    State().calls += "\n";
}

[[maybe_unused]] std::string HexOf(const uint8_t* bytes, uint32_t length) {
    std::string text;
    char pair[3];
    for (uint32_t i = 0; i < length && i < 16; ++i) {
        snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
    }
    return text;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void FakeBceReset() {
    State() = FakeState();
}

__attribute__((visibility("default"))) void FakeBceSetRegisterResult(uint32_t result) {
    State().registerResult = result;
}

__attribute__((visibility("default"))) void FakeBceAddPrinter(const char* port, uint16_t handle,
                                                              int terminate) {
    FakePrinter printer;
    std::memset(printer.record + kBcePortNameOffset, terminate ? 0 : 'X',
                kBcePrinterRecordSize - kBcePortNameOffset);
    std::memcpy(printer.record + kBcePortNameOffset, port, std::strlen(port));
    std::memcpy(printer.record + kBcePrinterHandleOffset, &handle, sizeof handle);
    State().printers.push_back(printer);
}

__attribute__((visibility("default"))) void FakeBceSetResponder(FakeBceResponder responder, void* context) {
    State().responder = responder;
    State().context = context;
}

__attribute__((visibility("default"))) const char* FakeBceCalls() {
    return State().calls.c_str();
}

#ifndef FAKE_BCE_OMIT_BceRegisterApp
__attribute__((visibility("default"))) uint32_t BceRegisterApp(uint32_t reserved) {
    Log("BceRegisterApp %u", reserved);
    return State().registerResult;
}
#endif

#ifndef FAKE_BCE_OMIT_BceUnregisterApp
__attribute__((visibility("default"))) uint32_t BceUnregisterApp(uint32_t app) {
    Log("BceUnregisterApp %u", app);
    return 0;
}
#endif

#ifndef FAKE_BCE_OMIT_BceSendBidi
__attribute__((visibility("default"))) int32_t BceSendBidi(uint32_t app, uint32_t printer, uint32_t reserved,
                                                           uint32_t flags, uint8_t* reply,
                                                           uint32_t* replyLength, const uint8_t* command,
                                                           uint32_t commandLength) {
    Log("BceSendBidi %u %u %u %X %u %s", app, printer, reserved, flags, *replyLength,
        HexOf(command, commandLength).c_str());
    if (State().responder == nullptr) {
        *replyLength = 0;
        return -1;
    }
    return State().responder(State().context, static_cast<uint16_t>(printer), command, commandLength, reply,
                             replyLength);
}
#endif

#ifndef FAKE_BCE_OMIT_BceEnumPrinters
__attribute__((visibility("default"))) int32_t BceEnumPrinters(uint32_t app, uint32_t flags,
                                                               BceEnumCallback callback) {
    Log("BceEnumPrinters %u %X", app, flags);
    for (const FakePrinter& printer : State().printers) {
        callback(printer.record);
    }
    return 0;
}
#endif

#ifndef FAKE_BCE_OMIT_BceCaptureAlerts
__attribute__((visibility("default"))) int32_t BceCaptureAlerts(uint32_t app, uint32_t printer,
                                                                uint32_t* filter, uintptr_t window,
                                                                uint32_t reserved) {
    Log("BceCaptureAlerts %u %u %08X %zu %u", app, printer, *filter, static_cast<size_t>(window), reserved);
    return 3;
}
#endif

#ifndef FAKE_BCE_OMIT_BceQueryAlerts
__attribute__((visibility("default"))) int32_t BceQueryAlerts(uint32_t app, uint32_t wParamHigh,
                                                              uintptr_t wParam, uint32_t kind,
                                                              uint8_t* buffer, uint32_t* length) {
    Log("BceQueryAlerts %u %X %zX %u %u", app, wParamHigh, static_cast<size_t>(wParam), kind, *length);
    std::memset(buffer, 0, *length);
    return 5;
}
#endif
}
