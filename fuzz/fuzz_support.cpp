#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fuzz {

namespace {

volatile size_t sink;

void RemovePrivateDir() {
    std::error_code ignored;
    std::filesystem::remove_all(PrivateDir(), ignored);
}

}  // namespace

void Fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

void Keep(size_t value) {
    sink = sink + value;
}

const std::string& PrivateDir() {
    static const std::string dir = [] {
        // Targets rewrite a file on every run: on a disk file system each rewrite waits for the disk.
        std::error_code error;
        const char* tmp = std::getenv("TMPDIR");
        std::string parent = std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm"
                             : tmp != nullptr && *tmp != '\0'                 ? tmp
                                                                              : "/tmp";
        std::string pattern = parent + "/kelvaro-fuzz.XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        return pattern;
    }();
    static const bool removedAtExit = std::atexit(RemovePrivateDir) == 0;
    (void)removedAtExit;
    return dir;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

void WriteFile(const std::string& path, const std::string& text) {
    WriteFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace fuzz
