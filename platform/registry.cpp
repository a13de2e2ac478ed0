#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "platform/paths.h"
#include "platform/reg_values.h"

namespace platform {
namespace {

constexpr const char* kValuesFile = "values";

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Root may write anything, so a key's write bits decide for it as an access list would.
bool IsWritableDirectory(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return false;
    }
    if (geteuid() == 0) {
        return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    }
    return access(path.c_str(), W_OK) == 0;
}

std::vector<std::string> SplitKeyPath(const std::string& keyPath) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : keyPath + "\\") {
        if (c == '\\' || c == '/') {
            if (!part.empty() && part != "." && part != "..") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    return parts;
}

// The existing entry of `directory` whose name matches `name` without regard to case.
std::string FindChildNoCase(const std::string& directory, const std::string& name) {
    std::string match;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (strcasecmp(entry->d_name, name.c_str()) == 0 &&
                IsDirectory(directory + "/" + entry->d_name)) {
                match = entry->d_name;
                break;
            }
        }
        closedir(dir);
    }
    return match;
}

RegResult ResolveKey(const std::string& keyPath, bool create, std::string& directory) {
    directory = RegistryKey::HiveDirectory();
    if (create) {
        for (size_t slash = directory.find('/', 1); slash != std::string::npos;
             slash = directory.find('/', slash + 1)) {
            mkdir(directory.substr(0, slash).c_str(), 0755);
        }
        mkdir(directory.c_str(), 0755);
    }
    if (!IsDirectory(directory)) {
        return create ? RegResult::Failed : RegResult::NotFound;
    }
    for (const std::string& part : SplitKeyPath(keyPath)) {
        std::string existing = FindChildNoCase(directory, part);
        if (existing.empty()) {
            if (!create) {
                return RegResult::NotFound;
            }
            if (mkdir((directory + "/" + part).c_str(), 0755) != 0 && errno != EEXIST) {
                return errno == EACCES ? RegResult::AccessDenied : RegResult::Failed;
            }
            existing = part;
        }
        directory += "/" + existing;
    }
    return RegResult::Ok;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

// Writes the file beside its final name, flushes it to disk and renames it into place, so a reader sees
// either the old file or the new one, never a half-written one.
RegResult ReplaceFileAtomically(const std::string& path, const std::string& text) {
    static std::atomic<unsigned> sequence{0};
    std::string temporary = path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(sequence++);
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return errno == EACCES ? RegResult::AccessDenied : RegResult::Failed;
    }
    bool ok = WriteAll(fd, text) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return RegResult::Failed;
    }
    return RegResult::Ok;
}

}  // namespace

std::string RegistryKey::HiveDirectory() {
    return HostPath("/var/lib/kelvaro/registry/HKEY_LOCAL_MACHINE");
}

RegResult RegistryKey::Open(const std::string& keyPath, RegAccess access, RegistryKey& key) {
    std::string directory;
    RegResult result = ResolveKey(keyPath, false, directory);
    if (result != RegResult::Ok) {
        return result;
    }
    bool writable = IsWritableDirectory(directory);
    if (access == RegAccess::FullAccess && !writable) {
        return RegResult::AccessDenied;
    }
    key.directory_ = directory;
    key.writable_ = writable;
    return RegResult::Ok;
}

RegResult RegistryKey::Create(const std::string& keyPath, RegistryKey& key) {
    std::string directory;
    RegResult result = ResolveKey(keyPath, true, directory);
    if (result != RegResult::Ok) {
        return result;
    }
    return Open(keyPath, RegAccess::FullAccess, key);
}

std::optional<std::string> RegistryKey::ReadString(const std::string& name) const {
    std::vector<RegValueLine> lines = ParseRegValues(ReadFile(directory_ + "/" + kValuesFile));
    const RegValueLine* line = FindRegValue(lines, name);
    if (!line || line->kind != RegValueLine::Kind::String) {
        return std::nullopt;
    }
    return line->text;
}

std::optional<uint32_t> RegistryKey::ReadDword(const std::string& name) const {
    std::vector<RegValueLine> lines = ParseRegValues(ReadFile(directory_ + "/" + kValuesFile));
    const RegValueLine* line = FindRegValue(lines, name);
    if (!line || line->kind != RegValueLine::Kind::Dword) {
        return std::nullopt;
    }
    return line->dword;
}

RegResult RegistryKey::WriteString(const std::string& name, const std::string& value) {
    return WriteValue({RegValueLine::Kind::String, name, value, 0});
}

RegResult RegistryKey::WriteDword(const std::string& name, uint32_t value) {
    return WriteValue({RegValueLine::Kind::Dword, name, {}, value});
}

RegResult RegistryKey::WriteValue(RegValueLine value) {
    if (!IsOpen()) {
        return RegResult::NotFound;
    }
    if (!writable_) {
        return RegResult::AccessDenied;
    }
    std::string path = directory_ + "/" + kValuesFile;
    std::vector<RegValueLine> lines = ParseRegValues(ReadFile(path));
    SetRegValue(lines, std::move(value));
    return ReplaceFileAtomically(path, FormatRegValues(lines));
}

std::vector<std::string> RegistryKey::SubKeys() const {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory_.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != ".." && IsDirectory(directory_ + "/" + name)) {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace platform
