#pragma once

#include <string>
#include <vector>

namespace usbprobe_test {

struct ProgramRun {
    std::string output;
    int status = -1;
};

struct ProgramSetup {
    std::string root;          // KELVARO_ROOT of the run
    std::string directory;     // its working directory
    std::string input;         // what it reads from stdin
    std::string pollMs = "1";  // USBPROBE_POLL_MS: a reader that overruns gives up after 40 of these
};

// Runs the built usbprobe with the arguments and returns its standard output and exit status.
ProgramRun RunUsbprobe(const ProgramSetup& setup, const std::vector<std::string>& args);

// A fresh private directory under the temporary folder, removed with its contents by the destructor.
class CTempDir {
  public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace usbprobe_test
