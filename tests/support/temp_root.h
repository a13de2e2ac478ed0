#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace testsupport {

// A private directory removed with everything in it when the test ends.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvaro-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }

    std::string Write(const std::string& relative, const std::string& content) const {
        std::filesystem::path file = std::filesystem::path(path_) / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }

  private:
    std::string path_;
};

// A private host root: KELVARO_ROOT points at a fresh directory for the test's lifetime.
class TempRoot : public TempDir {
  public:
    TempRoot() {
        const char* previous = getenv("KELVARO_ROOT");
        hadPrevious_ = previous != nullptr;
        previous_ = previous ? previous : "";
        setenv("KELVARO_ROOT", Path().c_str(), 1);
    }
    ~TempRoot() {
        if (hadPrevious_) {
            setenv("KELVARO_ROOT", previous_.c_str(), 1);
        } else {
            unsetenv("KELVARO_ROOT");
        }
    }

  private:
    bool hadPrevious_ = false;
    std::string previous_;
};

}  // namespace testsupport
