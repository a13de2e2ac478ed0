#pragma once

#include <cstdint>

// Controls of the fake bidirectional library, looked up by the tests with dlsym on the loaded fake.
extern "C" {

// Answers one BceSendBidi: fills reply (at most *replyLength bytes), sets *replyLength, returns the result.
using FakeBceResponder = int32_t (*)(void* context, uint16_t printer, const uint8_t* command, uint32_t length,
                                     uint8_t* reply, uint32_t* replyLength);

using FakeBceResetFn = void (*)();
using FakeBceSetRegisterResultFn = void (*)(uint32_t result);
// port may lack its terminating zero when terminate is 0: the record's name field is then filled whole.
using FakeBceAddPrinterFn = void (*)(const char* port, uint16_t handle, int terminate);
using FakeBceSetResponderFn = void (*)(FakeBceResponder responder, void* context);
// One line per call made on the library's functions.
using FakeBceCallsFn = const char* (*)();
}
