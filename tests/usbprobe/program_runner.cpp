#include "tests/usbprobe/program_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

extern char** environ;

namespace usbprobe_test {

namespace {

// Only a guard against a hung program; nothing is asserted on how long a run takes.
constexpr int kHangGuardMs = 60000;

std::vector<std::string> ChildEnvironment(const ProgramSetup& setup) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (text.rfind("KELVARO_ROOT=", 0) != 0 && text.rfind("USBPROBE_POLL_MS=", 0) != 0) {
            env.push_back(text);
        }
    }
    env.push_back("KELVARO_ROOT=" + setup.root);
    env.push_back("USBPROBE_POLL_MS=" + setup.pollMs);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ProgramRun RunUsbprobe(const ProgramSetup& setup, const std::vector<std::string>& args) {
    std::vector<std::string> argTexts{USBPROBE_PATH};
    argTexts.insert(argTexts.end(), args.begin(), args.end());
    std::vector<std::string> envTexts = ChildEnvironment(setup);
    std::vector<char*> argv = Pointers(argTexts);
    std::vector<char*> envp = Pointers(envTexts);
    const std::string directory = setup.directory.empty() ? "." : setup.directory;

    int outPipe[2];
    int inPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(inPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << errno;
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec: the parent may run printer threads.
        dup2(inPipe[0], STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        if (chdir(directory.c_str()) == 0) {
            execve(argv[0], argv.data(), envp.data());
        }
        _exit(127);
    }
    close(outPipe[1]);
    close(inPipe[0]);
    if (!setup.input.empty() && write(inPipe[1], setup.input.data(), setup.input.size()) < 0) {
        ADD_FAILURE() << "stdin: " << errno;
    }
    close(inPipe[1]);

    ProgramRun run;
    char buffer[4096];
    for (;;) {
        pollfd ready{outPipe[0], POLLIN, 0};
        if (poll(&ready, 1, kHangGuardMs) <= 0) {
            ADD_FAILURE() << "usbprobe hung; output so far:\n" << run.output;
            kill(child, SIGKILL);
            break;
        }
        const ssize_t n = read(outPipe[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        run.output.append(buffer, static_cast<size_t>(n));
    }
    close(outPipe[0]);
    int waitStatus = 0;
    waitpid(child, &waitStatus, 0);
    run.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    return run;
}

CTempDir::CTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "usbprobe-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp: " << errno;
    }
    path_ = pattern;
}

CTempDir::~CTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace usbprobe_test
