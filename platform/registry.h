#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct RegValueLine;

// A stand-in for the HKEY_LOCAL_MACHINE hive, kept as files under /var/lib/kelvaro/registry/:
// one directory per key, its values in the key's "values" file in .reg syntax
// ("RegionalSettings"="US", "LoggingLevel"=dword:00000000). Key paths are given as in the system
// ("SOFTWARE\QUORVEX\QVXSLC"); key and value names match without regard to case and keep the case
// in which they were first written.
enum class RegResult {
    Ok,
    NotFound,      // the key or value does not exist
    AccessDenied,  // the key exists but this process may not write it
    Failed,        // any other failure of the file system
};

enum class RegAccess { Read, FullAccess };

class RegistryKey {
  public:
    RegistryKey() = default;

    // Opens an existing key. FullAccess is refused with AccessDenied when the key cannot be written.
    static RegResult Open(const std::string& keyPath, RegAccess access, RegistryKey& key);
    // Opens the key with full access, creating it and any missing parents.
    static RegResult Create(const std::string& keyPath, RegistryKey& key);
    // The hive's root directory under the host root.
    static std::string HiveDirectory();

    bool IsOpen() const { return !directory_.empty(); }
    const std::string& Directory() const { return directory_; }

    std::optional<std::string> ReadString(const std::string& name) const;
    std::optional<uint32_t> ReadDword(const std::string& name) const;
    RegResult WriteString(const std::string& name, const std::string& value);
    RegResult WriteDword(const std::string& name, uint32_t value);

    // Names of the subkeys, sorted.
    std::vector<std::string> SubKeys() const;

  private:
    RegResult WriteValue(RegValueLine value);

    std::string directory_;
    bool writable_ = false;
};

}  // namespace platform
