#include "exchange/settings_exchange.h"

#include <algorithm>

#include "exchange/read_reply.h"

namespace exchange {

void CSettingsExchange::SetNoPrinterMode(int on) {
    if (on) {
        noPrinterMode_ = true;
        libraryMode_ = false;
    }
}

void CSettingsExchange::LoadExchangeTables() {
    if (tablesLoaded_) {
        return;
    }
    tablesLoaded_ = true;
    tables_.Load(modelFile_);
}

bool CSettingsExchange::BindBidiLibrary() {
    if (!bindTried_) {
        bindTried_ = true;
        bidiBound_ = bidi_.Bind();
        libraryMode_ = bidiBound_ && !noPrinterMode_;
    }
    return libraryMode_;
}

int CSettingsExchange::BidiOffline(const std::string& port, bool on) {
    return bidiBound_ ? bidi_.Offline(port, on) : -1;
}

intptr_t CSettingsExchange::OnBidiNotification(uintptr_t wParam, intptr_t /*lParam*/) {
    LoadExchangeTables();
    BindBidiLibrary();
    return bidiBound_ ? bidi_.QueryAlerts(wParam) : 0;
}

int CSettingsExchange::ReadSettings(const std::string& port, ValueMap& values, ValueMap& descriptors,
                                    int nonUs) {
    LoadExchangeTables();
    BindBidiLibrary();
    if (libraryMode_) {
        return ReadThroughLibrary(port, values, descriptors);
    }
    if (noPrinterMode_) {
        return ReadDefaults(values, nonUs);
    }
    int opened = link_.OpenPort(port);
    if (opened == 1) {
        return ReadDefaults(values, nonUs);
    }
    if (opened != 0) {
        return kExchangeOpenFailed;
    }
    return ReadThroughLink(port, values, descriptors);
}

int CSettingsExchange::ReadDefaults(ValueMap& values, int nonUs) const {
    for (const auto& [name, value] : nonUs ? tables_.NonUsDefaults() : tables_.UsDefaults()) {
        values[name] = value;
    }
    return kReadDefaults;
}

int CSettingsExchange::ReadThroughLibrary(const std::string& port, ValueMap& values, ValueMap& descriptors) {
    Bytes request = BuildReadRequest(tables_);
    Bytes reply(kReplyBufferSize);
    uint32_t replyLength = kReplyBufferSize;
    bidi_.Send(FindBidiPrinter(port), request.data(), static_cast<uint32_t>(request.size()), reply.data(),
               &replyLength);
    // The library's word on the length is not trusted beyond the buffer it was given.
    ParseReadReply(reply.data(), std::min(replyLength, kReplyBufferSize), tables_, values, descriptors);
    return kReadFromPrinter;
}

int CSettingsExchange::ReadThroughLink(const std::string& port, ValueMap& values, ValueMap& descriptors) {
    Bytes request = BuildReadRequest(tables_);
    const auto requestLength = static_cast<uint32_t>(request.size());
    Bytes reply(kReplyBufferSize);
    uint32_t replyLength = kReplyBufferSize;
    if (link_.SendCommand(port, request.data(), requestLength, reply.data(), &replyLength) != 0) {
        return kReadNoReply;
    }
    if (!IsReadReply(reply.data(), replyLength)) {
        link_.ClosePort(port);
        link_.OpenPort(port);
        // A resend that fails must not pass the check on what the first one left in the buffer.
        std::fill(reply.begin(), reply.end(), 0);
        replyLength = kReplyBufferSize;
        link_.SendCommand(port, request.data(), requestLength, reply.data(), &replyLength);
        if (!IsReadReply(reply.data(), std::min(replyLength, kReplyBufferSize))) {
            return kReadNoReply;
        }
    }
    ParseReadReply(reply.data(), replyLength, tables_, values, descriptors);
    return kReadFromPrinter;
}

}  // namespace exchange
