#pragma once

#include <cstring>
#include <deque>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "exchange/device_link.h"
#include "exchange/exchange_tables.h"

namespace exchangetest {

using exchange::Bytes;

inline std::string Hex(const Bytes& bytes) {
    std::ostringstream text;
    for (uint8_t b : bytes) {
        text << std::hex << std::uppercase << std::setw(2) << std::setfill('0') << int{b} << ' ';
    }
    return text.str();
}

// One call made on the device link.
struct LinkCall {
    std::string op;  // "open", "send", "offline", "close", "shutdown"
    std::string port;
    Bytes command;           // send
    uint32_t replySize = 0;  // send: the caller's buffer
    int offline = -1;        // offline
};

struct ScriptedReply {
    int result = 0;
    Bytes bytes;
};

// A device link that records every call and answers sends from a script; an exhausted script answers
// with an empty reply.
class CScriptedLink : public exchange::IDeviceLink {
  public:
    int openResult = 0;
    int offlineResult = 0;
    int closeResult = 0;
    std::deque<ScriptedReply> replies;
    std::vector<LinkCall> calls;

    int OpenPort(const std::string& port) override {
        calls.push_back(Call("open", port));
        return openResult;
    }
    int SendCommand(const std::string& port, const uint8_t* command, uint32_t length, uint8_t* reply,
                    uint32_t* replyLength) override {
        LinkCall call = Call("send", port);
        call.command.assign(command, command + length);
        call.replySize = replyLength ? *replyLength : 0;
        calls.push_back(call);
        ScriptedReply next;
        if (!replies.empty()) {
            next = replies.front();
            replies.pop_front();
        }
        if (reply != nullptr && replyLength != nullptr && next.result == 0) {
            size_t copied = std::min<size_t>(next.bytes.size(), *replyLength);
            if (copied != 0) {
                std::memcpy(reply, next.bytes.data(), copied);
            }
            *replyLength = static_cast<uint32_t>(copied);
        }
        return next.result;
    }
    int Offline(const std::string& port, uint8_t offline) override {
        LinkCall call = Call("offline", port);
        call.offline = offline;
        calls.push_back(call);
        return offlineResult;
    }
    int ClosePort(const std::string& port) override {
        calls.push_back(Call("close", port));
        return closeResult;
    }
    void Shutdown() override { calls.push_back(Call("shutdown", "")); }

    static LinkCall Call(const char* op, const std::string& port) {
        LinkCall call;
        call.op = op;
        call.port = port;
        return call;
    }

    std::vector<Bytes> Sent() const {
        std::vector<Bytes> sent;
        for (const LinkCall& call : calls) {
            if (call.op == "send") {
                sent.push_back(call.command);
            }
        }
        return sent;
    }
    // The operations in order, "offline" calls as "offline1" or "offline0".
    std::vector<std::string> Ops() const {
        std::vector<std::string> ops;
        for (const LinkCall& call : calls) {
            ops.push_back(call.op == "offline" ? "offline" + std::to_string(call.offline) : call.op);
        }
        return ops;
    }
};

}  // namespace exchangetest

#define EXPECT_BYTES(expected, actual)                                                         \
    EXPECT_EQ(expected, actual) << "expected " << exchangetest::Hex(expected) << "\n  actual " \
                                << exchangetest::Hex(actual)
