#include "sim/printer_sim.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace sim {
namespace {

constexpr size_t kMaxChunk = 32;
constexpr uint32_t kDefaultShortReply = 99;
constexpr uint8_t kDefaultWrongCommand = 0xE1;
constexpr uint32_t kDefaultGarbage = 7;
constexpr uint8_t kDefaultAlert = 0xF1;
constexpr uint8_t kFirstAlertCommand = 0xF0;
constexpr size_t kRequestKinds = static_cast<size_t>(Request::Unknown) + 1;

// Bytes a terminal in cooked mode would rewrite or swallow, so garbage also shows whether the device is
// raw; none of them is 0xA5.
constexpr uint8_t kGarbage[] = {0x0A, 0x03, 0x11, 0x13, 0x0D, 0x00, 0x7F};

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

bool IsReply(const Bytes& packet) {
    return packet.size() > 4 && packet[0] == 0xA5 && packet[4] < kFirstAlertCommand;
}

}  // namespace

SimulatedPrinter::SimulatedPrinter(SimOptions options)
    : options_(std::move(options)), random_(options_.seed), counts_(kRequestKinds, 0) {
    options_.chunkSize = std::clamp<size_t>(options_.chunkSize, 1, kMaxChunk);
}

SimulatedPrinter::~SimulatedPrinter() {
    Unplug();
    CloseFd(stopFd_);
    CloseFd(alertFd_);
}

int SimulatedPrinter::Start() {
    if (settings_.Load(options_.modelFile) != 0) {
        return -1;
    }
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[PATH_MAX] = {};
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        ClosePty();
        return -1;
    }
    slavePath_ = name;
    // Raw before anyone opens the slave: a cooked terminal rewrites 0x0A and swallows 0x03, 0x11, 0x13.
    termios mode{};
    tcgetattr(master_, &mode);
    cfmakeraw(&mode);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    ownSlave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    alertFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (tcsetattr(master_, TCSANOW, &mode) != 0 || ownSlave_ < 0 || stopFd_ < 0 || alertFd_ < 0 ||
        fcntl(master_, F_SETFL, O_NONBLOCK) != 0) {
        ClosePty();
        return -1;
    }
    {
        std::lock_guard lock(mutex_);
        plugged_ = true;
    }
    thread_ = std::thread(&SimulatedPrinter::Serve, this);
    return 0;
}

void SimulatedPrinter::Stop() {
    if (thread_.joinable()) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t written = write(stopFd_, &one, sizeof one);
        thread_.join();
    }
}

void SimulatedPrinter::Unplug() {
    Stop();
    ClosePty();
}

void SimulatedPrinter::ClosePty() {
    {
        std::lock_guard lock(mutex_);
        plugged_ = false;
    }
    CloseFd(ownSlave_);
    CloseFd(master_);
}

bool SimulatedPrinter::IsPlugged() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

void SimulatedPrinter::Serve() {
    pollfd fds[3] = {{master_, POLLIN, 0}, {stopFd_, POLLIN, 0}, {alertFd_, POLLIN, 0}};
    while (true) {
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[2].revents != 0) {
            uint64_t count = 0;
            [[maybe_unused]] ssize_t got = read(alertFd_, &count, sizeof count);
            std::vector<Bytes> alerts;
            {
                std::lock_guard lock(mutex_);
                alerts.swap(pendingAlerts_);
            }
            for (const Bytes& alert : alerts) {
                Record(Direction::Out, Request::Unknown, alert);
            }
            Deliver(alerts);
        }
        // The printer holds the slave open, so the master never hangs up while it is plugged.
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (fds[0].revents & POLLIN) == 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0 && !ReadHost()) {
            return;
        }
    }
}

// Takes what the host wrote and handles every whole packet in it; false once the device is gone.
bool SimulatedPrinter::ReadHost() {
    uint8_t buffer[4096];
    ssize_t got = 0;
    while ((got = read(master_, buffer, sizeof buffer)) > 0) {
        input_.insert(input_.end(), buffer, buffer + got);
    }
    while (true) {
        auto start = std::find(input_.begin(), input_.end(), 0xA5);
        if (start != input_.begin()) {
            Record(Direction::In, Request::Unknown, Bytes(input_.begin(), start));
            input_.erase(input_.begin(), start);
        }
        if (input_.size() < 3) {
            return true;
        }
        size_t length = static_cast<size_t>(input_[1] << 8 | input_[2]);
        if (length < 2) {
            Record(Direction::In, Request::Unknown, Bytes(input_.begin(), input_.begin() + 1));
            input_.erase(input_.begin());
            continue;
        }
        if (input_.size() < length + 3) {
            return true;
        }
        Bytes packet(input_.begin(), input_.begin() + static_cast<ptrdiff_t>(length + 3));
        input_.erase(input_.begin(), input_.begin() + static_cast<ptrdiff_t>(length + 3));
        HandlePacket(packet);
        if (master_ < 0) {
            return false;
        }
    }
}

void SimulatedPrinter::HandlePacket(const Bytes& packet) {
    Request request = ClassifyRequest(packet);
    Record(Direction::In, request, packet);
    if (request == Request::NpaStart) {
        return;
    }
    Answer answer = Act(packet, request, MatchingFaults(request));
    for (const Bytes& piece : answer.packets) {
        Record(Direction::Out, IsReply(piece) ? request : Request::Unknown, piece);
    }
    {
        std::lock_guard lock(mutex_);
        ++commandsHandled_;
    }
    handled_.notify_all();
    if (answer.vanish) {
        std::function<void()> handler;
        {
            std::lock_guard lock(mutex_);
            handler = vanishHandler_;
        }
        // The layout goes first, so a host that sees the hang-up no longer finds the node.
        if (handler) {
            handler();
        }
        ClosePty();
        return;
    }
    if (answer.delayMs > 0 && WaitForStop(answer.delayMs)) {
        return;
    }
    Deliver(answer.packets);
}

std::vector<Fault> SimulatedPrinter::MatchingFaults(Request request) {
    std::lock_guard lock(mutex_);
    ++counts_[static_cast<size_t>(Request::Any)];
    ++counts_[static_cast<size_t>(request)];
    std::vector<Fault> matching;
    for (const Fault& fault : options_.faults) {
        int seen = counts_[static_cast<size_t>(fault.on)];
        if ((fault.on == Request::Any || fault.on == request) &&
            (fault.occurrence == 0 || fault.occurrence == seen)) {
            matching.push_back(fault);
        }
    }
    return matching;
}

SimulatedPrinter::Answer SimulatedPrinter::Act(const Bytes& packet, Request request,
                                               const std::vector<Fault>& faults) {
    Answer answer;
    auto has = [&](FaultAction action) {
        return std::any_of(faults.begin(), faults.end(), [&](const Fault& f) { return f.action == action; });
    };
    answer.vanish = has(FaultAction::Vanish);
    if (answer.vanish || has(FaultAction::Silent)) {
        return answer;
    }
    std::vector<Bytes> replies = Respond(packet, request, has(FaultAction::Reject));
    for (const Fault& fault : faults) {
        for (Bytes& reply : replies) {
            if (!IsReply(reply)) {
                continue;
            }
            if (fault.action == FaultAction::CommandError) {
                reply[3] |= kFlagsCommandError;
            } else if (fault.action == FaultAction::ShortReply) {
                reply.resize(
                    std::min<size_t>(reply.size(), fault.amount ? fault.amount : kDefaultShortReply));
                FixLength(reply);
            } else if (fault.action == FaultAction::WrongCommand) {
                reply[4] = fault.amount ? static_cast<uint8_t>(fault.amount) : kDefaultWrongCommand;
            }
        }
    }
    for (const Bytes& reply : replies) {
        std::vector<Bytes> parts =
            IsReply(reply) ? SplitContinued(reply, options_.continuedSplit) : std::vector<Bytes>{reply};
        answer.packets.insert(answer.packets.end(), parts.begin(), parts.end());
    }
    for (const Fault& fault : faults) {
        uint8_t alert = fault.amount ? static_cast<uint8_t>(fault.amount) : kDefaultAlert;
        if (fault.action == FaultAction::Delay) {
            answer.delayMs += fault.amount;
        } else if (fault.action == FaultAction::AlertBefore) {
            answer.packets.insert(answer.packets.begin(), BuildAlert(alert, 0));
        } else if (fault.action == FaultAction::AlertAfter) {
            answer.packets.push_back(BuildAlert(alert, 0));
        }
    }
    for (const Fault& fault : faults) {
        if (fault.action == FaultAction::Garbage) {
            Bytes garbage;
            for (uint32_t i = 0; i < (fault.amount ? fault.amount : kDefaultGarbage); ++i) {
                garbage.push_back(kGarbage[i % sizeof kGarbage]);
            }
            answer.packets.insert(answer.packets.begin(), garbage);
        }
    }
    return answer;
}

// Carries out the command and builds its answer. A command without the response-requested flag changes
// the printer all the same, so a command file copied to the device sets it silently.
std::vector<Bytes> SimulatedPrinter::Respond(const Bytes& packet, Request request, bool reject) {
    bool wantReply = (packet[3] & kFlagResponseRequested) != 0;
    std::lock_guard lock(mutex_);
    Bytes reply;
    switch (request) {
        case Request::Read:
            reply = BuildReadReply(settings_, packet, options_.records);
            break;
        case Request::Write: {
            uint16_t id = 0;
            Bytes value;
            SimSetting* setting = ParseWrite(packet, id, value) ? settings_.FindById(id) : nullptr;
            reply = BuildWriteReply(setting != nullptr && settings_.SetValueBytes(*setting, value));
            break;
        }
        case Request::FactoryDefaults:
            settings_.RestoreUsDefaults();
            reply = BuildFactoryDefaultsReply();
            break;
        case Request::Offline:
        case Request::Online: {
            std::vector<Bytes> packets = OfflineExchange(request == Request::Offline, reject);
            if (!wantReply) {
                packets.erase(std::remove_if(packets.begin(), packets.end(), IsReply), packets.end());
            }
            return packets;
        }
        case Request::AlertRegister:
        case Request::AlertDeregister:
            registered_ = request == Request::AlertRegister;
            reply = BuildAlertRegistrationReply(registered_);
            break;
        case Request::Identity:
            reply = BuildIdentityReply(options_.modelCode);
            break;
        case Request::PortList:
            reply = BuildPortListReply(options_.portTypes);
            break;
        case Request::Preamble:
            reply = BuildPreambleReply();
            break;
        default:
            reply = BuildCommandError(packet);
            break;
    }
    if (!wantReply) {
        return {};
    }
    return {reply};
}

// The host judges the outcome by byte 8 of both packets: a reply that comes first says 1 when the
// command was taken; after the alert, a reply saying 1 means refused. The alert always tells the state the
// printer is in. A refusal sends no alert when the reply comes first, since the state did not change.
std::vector<Bytes> SimulatedPrinter::OfflineExchange(bool offline, bool reject) {
    if (!reject) {
        offline_ = offline;
    }
    bool alertFirst = options_.offlineOrder == OfflineOrder::AlertFirst;
    uint8_t outcome = (reject == alertFirst) ? 1 : 0;
    Bytes reply = BuildOfflineReply(offline, outcome);
    bool alert = (registered_ || !options_.alertNeedsRegistration) &&
                 options_.offlineOrder != OfflineOrder::ReplyOnly && (alertFirst || !reject);
    if (!alert) {
        return {reply};
    }
    if (alertFirst) {
        return {BuildOfflineAlert(offline_), reply};
    }
    return {reply, BuildOfflineAlert(offline_)};
}

// Each piece (packet or run of garbage) begins a new chunk, as a printer sends each in a transfer of
// its own.
void SimulatedPrinter::Deliver(const std::vector<Bytes>& pieces) {
    for (const Bytes& piece : pieces) {
        size_t offset = 0;
        while (offset < piece.size()) {
            size_t size = options_.chunkSize;
            if (options_.randomSplits) {
                size = std::uniform_int_distribution<size_t>(1, options_.chunkSize)(random_);
            }
            size = std::min(size, piece.size() - offset);
            if (!WaitForHostToRead() || !WriteChunk(piece.data() + offset, size)) {
                return;
            }
            offset += size;
        }
    }
}

// False only when the printer is stopping; a host that does not read gets the bytes queued.
bool SimulatedPrinter::WriteChunk(const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t written = write(master_, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            return true;
        }
        pollfd fds[2] = {{master_, POLLOUT, 0}, {stopFd_, POLLIN, 0}};
        int ready = poll(fds, 2, static_cast<int>(options_.paceWaitMs));
        if (fds[1].revents != 0) {
            return false;
        }
        if (ready == 0) {
            return true;
        }
    }
    return true;
}

// Waits until the host has read everything sent so far, so that each of its reads returns one chunk.
// After a host once let the bound pass, the printer stops waiting for it until it has caught up.
bool SimulatedPrinter::WaitForHostToRead() {
    // FIONREAD alone would miss bytes still on their way to the line discipline; polling the slave
    // pushes them there first.
    auto unread = [this] {
        pollfd fd = {ownSlave_, POLLIN, 0};
        return poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN) != 0;
    };
    if (!unread()) {
        hostSlow_ = false;
        return true;
    }
    if (hostSlow_) {
        return true;
    }
    for (uint32_t waited = 0; waited < options_.paceWaitMs; ++waited) {
        if (WaitForStop(1)) {
            return false;
        }
        if (!unread()) {
            return true;
        }
    }
    hostSlow_ = true;
    return true;
}

bool SimulatedPrinter::WaitForStop(uint32_t milliseconds) const {
    pollfd fd = {stopFd_, POLLIN, 0};
    return poll(&fd, 1, static_cast<int>(std::min<uint32_t>(milliseconds, INT_MAX))) > 0;
}

void SimulatedPrinter::Record(Direction direction, Request request, const Bytes& bytes) {
    std::lock_guard lock(mutex_);
    transcript_.push_back({direction, request, bytes});
}

std::vector<TranscriptEntry> SimulatedPrinter::Transcript() const {
    std::lock_guard lock(mutex_);
    return transcript_;
}

std::vector<Bytes> SimulatedPrinter::ReceivedCommands() const {
    std::lock_guard lock(mutex_);
    std::vector<Bytes> commands;
    for (const TranscriptEntry& entry : transcript_) {
        if (entry.direction == Direction::In && entry.request != Request::NpaStart &&
            entry.bytes[0] == 0xA5) {
            commands.push_back(entry.bytes);
        }
    }
    return commands;
}

bool SimulatedPrinter::WaitForCommands(size_t count, uint32_t timeoutMs) const {
    std::unique_lock lock(mutex_);
    return handled_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return commandsHandled_ >= count; });
}

void SimulatedPrinter::ClearTranscript() {
    std::lock_guard lock(mutex_);
    transcript_.clear();
}

std::string SimulatedPrinter::Value(const std::string& npaName) const {
    std::lock_guard lock(mutex_);
    return settings_.ValueText(npaName);
}

bool SimulatedPrinter::SetValue(const std::string& npaName, const std::string& text) {
    std::lock_guard lock(mutex_);
    return settings_.SetValueText(npaName, text);
}

SimSettings SimulatedPrinter::Settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

bool SimulatedPrinter::IsOffline() const {
    std::lock_guard lock(mutex_);
    return offline_;
}

bool SimulatedPrinter::AlertsRegistered() const {
    std::lock_guard lock(mutex_);
    return registered_;
}

void SimulatedPrinter::SendAlert(uint8_t command, uint8_t status) {
    {
        std::lock_guard lock(mutex_);
        pendingAlerts_.push_back(BuildAlert(command, status));
    }
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(alertFd_, &one, sizeof one);
}

void SimulatedPrinter::DiscardPendingOutput() {
    if (ownSlave_ >= 0) {
        tcflush(ownSlave_, TCIFLUSH);
    }
}

int SimulatedPrinter::HostDescriptorCount() const {
    int count = 0;
    DIR* directory = opendir("/proc/self/fd");
    if (directory == nullptr) {
        return 0;
    }
    while (dirent* entry = readdir(directory)) {
        int fd = std::atoi(entry->d_name);
        char target[PATH_MAX] = {};
        std::string link = std::string("/proc/self/fd/") + entry->d_name;
        ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
        if (length > 0 && fd != ownSlave_ && fd != dirfd(directory) && slavePath_ == target) {
            ++count;
        }
    }
    closedir(directory);
    return count;
}

void SimulatedPrinter::SetVanishHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    vanishHandler_ = std::move(handler);
}

}  // namespace sim
