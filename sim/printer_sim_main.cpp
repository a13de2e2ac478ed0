// printer-sim: emulated Quorvex K600 printers under a root directory, for the demo and for trying the
// program without a printer. Serves until standard input closes or the process is signalled.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "sim/sim_host.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    char byte = 1;
    [[maybe_unused]] ssize_t written = write(signalPipe[1], &byte, 1);
}

const char kUsage[] =
    "usage: printer-sim --root DIR [--model FILE] [--printers N] [--serial TEXT] [--model-code C]\n"
    "                   [--parallel N] [--chunk N] [--random-split SEED] [--continued N]\n"
    "                   [--alert-first | --reply-only] [--fill-skipped] [--type1 NAME[:index]]\n"
    "                   [--unsupported NAME] [--fault REQUEST:ACTION[:AMOUNT][@N]]...\n"
    "  REQUEST: any read write defaults offline online register deregister identity ports preamble unknown\n"
    "  ACTION:  silent delay error short wrong garbage alert-before alert-after reject vanish\n";

struct Settings {
    std::string root;
    int printers = 1;
    int parallel = 0;
    sim::SimOptions options;
};

bool ParseRequest(const std::string& text, sim::Request& request) {
    for (int i = 0; i <= static_cast<int>(sim::Request::Unknown); ++i) {
        if (text == sim::RequestName(static_cast<sim::Request>(i))) {
            request = static_cast<sim::Request>(i);
            return true;
        }
    }
    return false;
}

bool ParseAction(const std::string& text, sim::FaultAction& action) {
    static const std::pair<const char*, sim::FaultAction> kActions[] = {
        {"silent", sim::FaultAction::Silent},
        {"delay", sim::FaultAction::Delay},
        {"error", sim::FaultAction::CommandError},
        {"short", sim::FaultAction::ShortReply},
        {"wrong", sim::FaultAction::WrongCommand},
        {"garbage", sim::FaultAction::Garbage},
        {"alert-before", sim::FaultAction::AlertBefore},
        {"alert-after", sim::FaultAction::AlertAfter},
        {"reject", sim::FaultAction::Reject},
        {"vanish", sim::FaultAction::Vanish},
    };
    for (const auto& [name, value] : kActions) {
        if (text == name) {
            action = value;
            return true;
        }
    }
    return false;
}

// REQUEST:ACTION[:AMOUNT][@OCCURRENCE]
bool ParseFault(std::string text, sim::Fault& fault) {
    if (size_t at = text.find('@'); at != std::string::npos) {
        fault.occurrence = std::atoi(text.c_str() + at + 1);
        text.erase(at);
    }
    size_t first = text.find(':');
    if (first == std::string::npos) {
        return false;
    }
    size_t second = text.find(':', first + 1);
    if (second != std::string::npos) {
        fault.amount = static_cast<uint32_t>(std::strtoul(text.c_str() + second + 1, nullptr, 0));
    }
    return ParseRequest(text.substr(0, first), fault.on) &&
           ParseAction(
               text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1),
               fault.action);
}

bool ParseArguments(int argc, char** argv, Settings& settings) {
    sim::SimOptions& options = settings.options;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        auto flag = [&](const char* expected) { return name == expected; };
        if (flag("--alert-first")) {
            options.offlineOrder = sim::OfflineOrder::AlertFirst;
            continue;
        }
        if (flag("--reply-only")) {
            options.offlineOrder = sim::OfflineOrder::ReplyOnly;
            continue;
        }
        if (flag("--fill-skipped")) {
            options.records.fillSkippedFields = true;
            continue;
        }
        if (i + 1 >= argc) {
            return false;
        }
        std::string value = argv[++i];
        if (flag("--root")) {
            settings.root = value;
        } else if (flag("--model")) {
            options.modelFile = value;
        } else if (flag("--printers")) {
            settings.printers = std::atoi(value.c_str());
        } else if (flag("--parallel")) {
            settings.parallel = std::atoi(value.c_str());
        } else if (flag("--serial")) {
            options.serial = value;
        } else if (flag("--model-code") && value.size() == 1) {
            options.modelCode = static_cast<uint8_t>(value[0]);
        } else if (flag("--chunk")) {
            options.chunkSize = static_cast<size_t>(std::atoi(value.c_str()));
        } else if (flag("--random-split")) {
            options.randomSplits = true;
            options.seed = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (flag("--continued")) {
            options.continuedSplit = static_cast<size_t>(std::atoi(value.c_str()));
        } else if (flag("--type1")) {
            size_t colon = value.find(':');
            options.records.type1[sim::ToUpper(value.substr(0, colon))] =
                colon != std::string::npos && value.substr(colon + 1) == "index";
        } else if (flag("--unsupported")) {
            options.records.unsupported.insert(sim::ToUpper(value));
        } else if (flag("--fault")) {
            sim::Fault fault;
            if (!ParseFault(value, fault)) {
                return false;
            }
            options.faults.push_back(fault);
        } else {
            return false;
        }
    }
    return !settings.root.empty() && settings.printers >= 0;
}

// Until standard input reaches its end or a signal arrives.
void Serve() {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {signalPipe[0], POLLIN, 0}};
    char buffer[256];
    while (poll(fds, 2, -1) >= 0 || errno == EINTR) {
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[0].revents != 0 && read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseArguments(argc, argv, settings)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::error_code error;
    bool createdRoot = std::filesystem::create_directories(settings.root, error);
    std::string root = std::filesystem::absolute(settings.root, error).lexically_normal().string();
    if (!root.empty() && root.back() == '/') {
        root.pop_back();
    }
    setenv("KELVARO_ROOT", root.c_str(), 1);
    if (pipe(signalPipe) != 0) {
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    int status = 0;
    {
        sim::SimHost host;
        std::printf("root: %s\n", host.Root().c_str());
        std::string serial = settings.options.serial;
        for (int i = 0; i < settings.printers; ++i) {
            sim::SimOptions options = settings.options;
            if (i > 0 && !serial.empty()) {
                options.serial = serial + std::to_string(i + 1);
            }
            if (host.AddUsbPrinter(options) == nullptr) {
                std::fprintf(stderr, "printer-sim: cannot start printer %d (model file %s)\n", i,
                             options.modelFile.c_str());
                status = 1;
                break;
            }
            const sim::UsbPrinterEntry& entry = host.UsbPrinters().back();
            std::printf("%s %s -> %s\n", entry.port.c_str(), entry.node.c_str(),
                        entry.printer->SlavePath().c_str());
        }
        if (status == 0 && settings.parallel > 0) {
            std::vector<std::string> drivers =
                platform::GetProfileSection(settings.options.modelFile, "DriverNames", 32767);
            std::string device = host.AddParallelPrinter(
                settings.parallel, drivers.empty() ? "" : drivers.front(), "Quorvex K600 (parallel)");
            std::printf("LPT%d %s\n", settings.parallel, device.c_str());
        }
        std::fflush(stdout);
        if (status == 0) {
            Serve();
        }
    }
    if (createdRoot) {
        std::filesystem::remove(root, error);
    }
    return status;
}
