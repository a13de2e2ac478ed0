#include <cstdlib>

#include "devlink/slc_log.h"
#include "exchange/hex_bytes.h"
#include "exchange/settings_exchange.h"
#include "platform/clock.h"

namespace exchange {

namespace {

const uint8_t kFactoryDefaultsCommand[] = {0xA5, 0x00, 0x05, 0x50, 0xE0, 0xE7, 0x08, 0x00};

// Settings a command file leaves out: a printer given such a file resets its buffers.
bool IsBufferItem(const std::string& item) {
    return item.find("USB.BUFFER") != std::string::npos || item.find("PARALLEL.BUFFER") != std::string::npos;
}

void PutBigEndian16(Bytes& command, size_t offset, size_t value) {
    command[offset] = static_cast<uint8_t>((value >> 8) & 0xFF);
    command[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

// Fills the value bytes of a numeric template by the width in its byte 12; other widths stay as written.
void FillNumber(Bytes& command, const std::string& value) {
    auto number = static_cast<uint32_t>(std::strtol(value.c_str(), nullptr, 10));
    size_t width = command[kTemplateWidthOffset];
    if ((width != 1 && width != 2 && width != 4) || command.size() < kTemplateHeaderSize + width) {
        return;
    }
    for (size_t i = 0; i < width; ++i) {
        command[kTemplateHeaderSize + i] = static_cast<uint8_t>(number >> (8 * (width - 1 - i)));
    }
}

}  // namespace

CSettingsExchange::ItemAction CSettingsExchange::CommandForItem(const std::string& item, Bytes& command) {
    std::string upper = UpperCase(item);
    if (const Bytes* exact = tables_.FindTemplate(upper)) {
        command = *exact;
        return ItemAction::Send;
    }
    size_t colon = upper.find(':');
    std::string name = upper.substr(0, colon);
    std::string value = colon == std::string::npos ? std::string() : item.substr(colon + 1);
    bool text = tables_.IsTextSetting(name);
    if (!text && !tables_.IsNumericSetting(name)) {
        return ItemAction::Skip;
    }
    Bytes* stored = tables_.FindTemplate(name);
    if (stored == nullptr) {
        SlcLog(devlink::kLogEntry, "WriteSettings: no write template for %s\n", name.c_str());
        return ItemAction::Stop;
    }
    if (text) {
        command = *stored;
        command.insert(command.end(), value.begin(), value.end());
        PutBigEndian16(command, 1, command.size() - 3);
        PutBigEndian16(command, 11, value.size());
    } else {
        // The template keeps the number: numeric templates carry the last value written.
        FillNumber(*stored, value);
        command = *stored;
    }
    return ItemAction::Send;
}

void CSettingsExchange::SendWrite(bool viaLibrary, uint16_t printer, const std::string& target,
                                  const Bytes& command) {
    if (command.size() > 0xFFFF) {
        // The link counts only 16 bits of a length and would send a cut command.
        SlcLog(devlink::kLogEntry, "WriteSettings: command of %zu bytes not sent\n", command.size());
        return;
    }
    uint8_t reply[kWriteReplySize] = {};
    uint32_t replyLength = sizeof reply;
    const auto length = static_cast<uint32_t>(command.size());
    if (viaLibrary) {
        bidi_.Send(printer, command.data(), length, reply, &replyLength);
    } else {
        link_.SendCommand(target, command.data(), length, reply, &replyLength);
    }
}

int CSettingsExchange::WriteSettings(const std::string& target, const std::vector<std::string>& items,
                                     int toFile) {
    LoadExchangeTables();
    BindBidiLibrary();
    const bool viaLibrary = libraryMode_ && !toFile;
    const uint16_t printer = libraryMode_ ? FindBidiPrinter(target) : 0;

    if (viaLibrary) {
        bidi_.CaptureAlerts(printer);
        bidi_.Offline(target, true);
        platform::Clock().Sleep(kBidiOfflineWait);
    } else {
        int opened = link_.OpenPort(target);
        if (opened != 0 && opened != 1) {
            return kExchangeOpenFailed;
        }
        if (link_.Offline(target, 1) != 0) {
            return kWriteStopped;
        }
    }

    int result = 0;
    bool bufferLeftOut = false;
    for (const std::string& item : items) {
        if (toFile && IsBufferItem(item)) {
            bufferLeftOut = true;
            continue;
        }
        Bytes command;
        ItemAction action = CommandForItem(item, command);
        if (action == ItemAction::Stop) {
            result = kWriteStopped;
            break;
        }
        if (action == ItemAction::Send) {
            SendWrite(viaLibrary, printer, target, command);
        }
    }

    if (toFile && bufferLeftOut) {
        platform::Clock().Sleep(tables_.ResetDelay());
    }
    if (viaLibrary) {
        bidi_.Offline(target, false);
    } else {
        link_.Offline(target, 0);
        link_.ClosePort(target);
    }
    return result;
}

void CSettingsExchange::RestoreFactoryDefaults(const std::string& port) {
    uint8_t reply[kWriteReplySize] = {};
    uint32_t replyLength = sizeof reply;
    if (libraryMode_) {
        bidi_.Offline(port, true);
        bidi_.Send(FindBidiPrinter(port), kFactoryDefaultsCommand, sizeof kFactoryDefaultsCommand, reply,
                   &replyLength);
        bidi_.Offline(port, false);
        return;
    }
    link_.OpenPort(port);
    link_.Offline(port, 1);
    link_.SendCommand(port, kFactoryDefaultsCommand, sizeof kFactoryDefaultsCommand, reply, &replyLength);
    link_.Offline(port, 0);
    link_.ClosePort(port);
}

int CSettingsExchange::ShutdownExchange(const std::string& port) {
    LoadExchangeTables();
    tables_.Clear();
    int result = link_.ClosePort(port);
    link_.Shutdown();
    if (bidi_.IsLoaded()) {
        bidi_.Unload();
        bidiBound_ = false;
        libraryMode_ = false;
    }
    return result;
}

}  // namespace exchange
