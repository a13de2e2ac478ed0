#pragma once

#include <cstring>
#include <vector>

#include "sim/sim_packets.h"
#include "sim/sim_settings.h"
#include "tests/exchange/fake_bce/fake_bce.h"

namespace exchangetest {

// A printer behind the fake library: answers every command from a settings table built from a model
// file, as the simulated USB printer does.
class CSimBidiPrinter {
  public:
    sim::SimSettings settings;
    sim::RecordStyle style;
    uint8_t modelCode = '+';
    sim::Bytes portTypes = {0x00, 0x07};
    bool offline = false;
    // When set, every read is answered with this reply instead.
    std::vector<uint8_t> readReply;

    static int32_t Respond(void* context, uint16_t /*printer*/, const uint8_t* command, uint32_t length,
                           uint8_t* reply, uint32_t* replyLength) {
        auto* self = static_cast<CSimBidiPrinter*>(context);
        sim::Bytes answer = self->Answer(sim::Bytes(command, command + length));
        uint32_t copied = std::min<uint32_t>(static_cast<uint32_t>(answer.size()), *replyLength);
        if (copied != 0) {
            std::memcpy(reply, answer.data(), copied);
        }
        *replyLength = copied;
        return 0;
    }

  private:
    sim::Bytes Answer(const sim::Bytes& command) {
        switch (sim::ClassifyRequest(command)) {
            case sim::Request::Read:
                return readReply.empty() ? sim::BuildReadReply(settings, command, style) : readReply;
            case sim::Request::Write: {
                uint16_t id = 0;
                sim::Bytes value;
                sim::SimSetting* setting =
                    sim::ParseWrite(command, id, value) ? settings.FindById(id) : nullptr;
                return sim::BuildWriteReply(setting != nullptr && settings.SetValueBytes(*setting, value));
            }
            case sim::Request::FactoryDefaults:
                settings.RestoreUsDefaults();
                return sim::BuildFactoryDefaultsReply();
            case sim::Request::Offline:
            case sim::Request::Online:
                offline = command[7] == 0x01;
                return sim::BuildOfflineReply(offline, 0);
            case sim::Request::Identity:
                return sim::BuildIdentityReply(modelCode);
            case sim::Request::PortList:
                return sim::BuildPortListReply(portTypes);
            default:
                return {};
        }
    }
};

}  // namespace exchangetest
