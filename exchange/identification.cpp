#include <algorithm>
#include <array>

#include "exchange/settings_exchange.h"

namespace exchange {

namespace {

const uint8_t kUsbPreamble[] = {0xA5, 0x00, 0x06, 0x50, 0x03, 0x04, 0x20, 0x20, 0x20};
const uint8_t kIdentityQuery[] = {0xA5, 0x00, 0x06, 0x50, 0xE0, 0xEB, 0x00, 0x00, 0xB2};
const uint8_t kPortListQuery[] = {0xA5, 0x00, 0x03, 0x50, 0xE0, 0x71};

constexpr size_t kModelCodeOffset = 9;
constexpr size_t kPortCountOffset = 6;
constexpr size_t kFirstPortTypeOffset = 7;

// A reply buffer cleared before every query, and the number of its bytes the last answer filled.
struct QueryReply {
    std::array<uint8_t, kQueryReplySize> bytes{};
    uint32_t length = kQueryReplySize;

    void Clear() {
        bytes.fill(0);
        length = kQueryReplySize;
    }
    // Only bytes the answer filled count; a length beyond the buffer is not believed.
    uint32_t Received() const { return std::min(length, kQueryReplySize); }
};

bool IsSupportedModel(const QueryReply& reply) {
    if (reply.Received() <= kModelCodeOffset) {
        return false;
    }
    uint8_t code = reply.bytes[kModelCodeOffset];
    return code == '+' || code == '-' || code == '5';
}

bool IsPreambleReply(const QueryReply& reply) {
    return reply.Received() >= 7 && reply.bytes[4] == 0x03 && reply.bytes[5] == 0x04 &&
           reply.bytes[6] == 0x20;
}

const char* PortTypeWord(uint8_t type) {
    switch (type) {
        case 0:
            return "Parallel,";
        case 7:
            return "USB,";
        case 2:
        case 3:
        case 9:
            return "Network,";
        default:
            return "";
    }
}

}  // namespace

bool CSettingsExchange::DetectPrinters(const ValueMap& printers, ValueMap& detected) {
    BindBidiLibrary();
    if (libraryMode_) {
        DetectThroughLibrary(detected);
    } else {
        DetectThroughLink(printers, detected);
    }
    return !detected.empty();
}

void CSettingsExchange::DetectThroughLibrary(ValueMap& detected) {
    bidi_.EnumPrinters();
    for (const BidiPrinterRecord& record : bidi_.Printers()) {
        QueryReply reply;
        int32_t sent = bidi_.Send(CBidiLibrary::HandleOf(record), kIdentityQuery, sizeof kIdentityQuery,
                                  reply.bytes.data(), &reply.length);
        if (sent == 0 && IsSupportedModel(reply)) {
            detected[CBidiLibrary::PortOf(record)] = kSupportedModelName;
        }
    }
}

void CSettingsExchange::DetectThroughLink(const ValueMap& printers, ValueMap& detected) {
    for (const auto& [name, port] : printers) {
        if (port.starts_with("LPT")) {
            detected[port] = kUnavailable;
        } else if (port.starts_with("USB") && link_.OpenPort(port) == 0) {
            DetectUsbPrinter(port, detected);
            link_.ClosePort(port);
        }
    }
}

void CSettingsExchange::DetectUsbPrinter(const std::string& port, ValueMap& detected) {
    QueryReply reply;
    if (link_.SendCommand(port, kUsbPreamble, sizeof kUsbPreamble, reply.bytes.data(), &reply.length) == 0 &&
        !IsPreambleReply(reply)) {
        reply.Clear();
        link_.SendCommand(port, kUsbPreamble, sizeof kUsbPreamble, reply.bytes.data(), &reply.length);
    }
    reply.Clear();
    if (link_.SendCommand(port, kIdentityQuery, sizeof kIdentityQuery, reply.bytes.data(), &reply.length) ==
            0 &&
        IsSupportedModel(reply)) {
        detected[port] = kSupportedModelName;
    }
}

bool CSettingsExchange::QueryPorts(const std::string& port, std::string& text) {
    QueryReply reply;
    if (libraryMode_) {
        bidi_.Send(FindBidiPrinter(port), kPortListQuery, sizeof kPortListQuery, reply.bytes.data(),
                   &reply.length);
    } else {
        link_.OpenPort(port);
        link_.SendCommand(port, kPortListQuery, sizeof kPortListQuery, reply.bytes.data(), &reply.length);
        link_.ClosePort(port);
    }
    text = "Ports:";
    uint32_t received = reply.Received();
    if (received > kPortCountOffset) {
        size_t end = std::min<size_t>(kFirstPortTypeOffset + reply.bytes[kPortCountOffset], received);
        for (size_t i = kFirstPortTypeOffset; i < end; ++i) {
            text += PortTypeWord(reply.bytes[i]);
        }
    }
    if (text.ends_with(',')) {
        text.pop_back();
    }
    return true;
}

}  // namespace exchange
