#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_packets.h"
#include "sim/sim_settings.h"

namespace sim {

enum class FaultAction {
    Silent,        // the command is ignored: no state change, no answer
    Delay,         // the answer waits `amount` milliseconds
    CommandError,  // the reply carries flags 0x88
    ShortReply,    // the reply is cut to `amount` bytes (0: 99) and framed again
    WrongCommand,  // the reply's command byte becomes `amount` (0: 0xE1)
    Garbage,       // `amount` bytes (0: 7) that hold no 0xA5 go out before the answer
    AlertBefore,   // an alert with command byte `amount` (0: 0xF1) goes out before the answer
    AlertAfter,    // the same, after the answer
    Reject,        // an offline or online command is refused
    Vanish,        // the device goes away on receiving the command, without answering
};

// One fault: applied to the `occurrence`-th request of kind `on` (counting from 1), or to every one of
// them when occurrence is 0. Request::Any counts every command (NPA start packets are never counted).
struct Fault {
    Request on = Request::Any;
    int occurrence = 0;
    FaultAction action = FaultAction::Silent;
    uint32_t amount = 0;
};

enum class OfflineOrder { ReplyFirst, AlertFirst, ReplyOnly };

struct SimOptions {
    std::string modelFile = "cfg/k600.ini";
    uint8_t modelCode = '+';
    std::string serial = "AB12CD";
    std::string deviceId = "MFG:Quorvex;CMD:NPAP,PCL,PostScript;MODEL:Quorvex K600;CLS:PRINTER;";
    Bytes portTypes = {0x00, 0x07};
    // How SimHost registers the printer: "Printer Driver" (empty: the model file's first "DriverNames"
    // line) and "Name" (empty: the device ID's model, with " (Copy n)" for later ones).
    std::string driverName;
    std::string printerName;

    // Delivery: the printer hands its bytes to the host in chunks of at most chunkSize bytes (1 to 32);
    // with randomSplits each chunk has a random size from 1 to chunkSize, drawn from `seed`.
    size_t chunkSize = 32;
    bool randomSplits = false;
    uint32_t seed = 1;
    // Replies are split into continued packets of at most this many data bytes; 0 sends them whole.
    size_t continuedSplit = 0;
    // How long a chunk waits for the host to read the one before it (milliseconds); a host that does not
    // read within it gets the rest at once.
    uint32_t paceWaitMs = 500;

    OfflineOrder offlineOrder = OfflineOrder::ReplyFirst;
    // The offline alert is sent only while the host is registered for it.
    bool alertNeedsRegistration = true;

    RecordStyle records;
    std::vector<Fault> faults;
};

enum class Direction { In, Out };

struct TranscriptEntry {
    Direction direction = Direction::In;
    Request request = Request::Unknown;  // for In: what the packet asked for
    Bytes bytes;
};

// One emulated printer behind a pseudo-terminal. The host opens SlavePath() as it would open the usblp
// node; a serve thread reads commands from the master side and answers them.
//
// The printer keeps a descriptor of its own on the slave side. Holding it keeps the terminal raw and alive
// while no host has the node open (the master would otherwise report EIO and forget its settings), and
// lets the printer see whether the host has read everything: each chunk is written only after the host
// has read the one before it, so every read() of the host returns at most one chunk, as from usblp.
class SimulatedPrinter {
  public:
    explicit SimulatedPrinter(SimOptions options);
    ~SimulatedPrinter();
    SimulatedPrinter(const SimulatedPrinter&) = delete;
    SimulatedPrinter& operator=(const SimulatedPrinter&) = delete;

    // Loads the settings, opens the raw pseudo-terminal and starts serving: 0, or -1.
    int Start();
    // Stops serving; the device stays until Unplug() or destruction.
    void Stop();
    // The device goes away: serving stops and the pseudo-terminal is closed, so the host's reads and
    // writes fail. The host's layout is removed by SimHost.
    void Unplug();
    bool IsPlugged() const;

    const std::string& SlavePath() const { return slavePath_; }
    const SimOptions& Options() const { return options_; }

    std::vector<TranscriptEntry> Transcript() const;
    // The packets received, NPA start packets left out.
    std::vector<Bytes> ReceivedCommands() const;
    // Waits until `count` commands (NPA start packets not counted) have been handled, at most timeoutMs.
    bool WaitForCommands(size_t count, uint32_t timeoutMs) const;
    void ClearTranscript();

    std::string Value(const std::string& npaName) const;
    bool SetValue(const std::string& npaName, const std::string& text);
    SimSettings Settings() const;
    bool IsOffline() const;
    bool AlertsRegistered() const;

    // Sends an unsolicited alert now.
    void SendAlert(uint8_t command, uint8_t status);
    // Drops what the printer has sent and the host has not read.
    void DiscardPendingOutput();
    // Descriptors of this process on the device other than the printer's own.
    int HostDescriptorCount() const;

    // Called on the serve thread when a Vanish fault removes the device.
    void SetVanishHandler(std::function<void()> handler);

  private:
    struct Answer {
        std::vector<Bytes> packets;
        uint32_t delayMs = 0;
        bool vanish = false;
    };

    void Serve();
    bool ReadHost();
    void HandlePacket(const Bytes& packet);
    Answer Act(const Bytes& packet, Request request, const std::vector<Fault>& faults);
    std::vector<Bytes> Respond(const Bytes& packet, Request request, bool reject);
    std::vector<Bytes> OfflineExchange(bool offline, bool reject);
    std::vector<Fault> MatchingFaults(Request request);
    void Deliver(const std::vector<Bytes>& pieces);
    bool WriteChunk(const uint8_t* data, size_t size);
    bool WaitForHostToRead();
    bool WaitForStop(uint32_t milliseconds) const;
    void Record(Direction direction, Request request, const Bytes& bytes);
    void ClosePty();

    SimOptions options_;
    std::string slavePath_;
    int master_ = -1;
    int ownSlave_ = -1;
    int stopFd_ = -1;   // readable once stopping
    int alertFd_ = -1;  // readable while alerts wait to be sent
    std::thread thread_;
    std::mt19937 random_;
    Bytes input_;
    bool hostSlow_ = false;

    mutable std::mutex mutex_;
    mutable std::condition_variable handled_;
    SimSettings settings_;
    std::vector<TranscriptEntry> transcript_;
    std::vector<Bytes> pendingAlerts_;
    std::vector<int> counts_;  // requests seen, by Request
    size_t commandsHandled_ = 0;
    bool offline_ = false;
    bool registered_ = false;
    bool plugged_ = false;
    std::function<void()> vanishHandler_;
};

}  // namespace sim
