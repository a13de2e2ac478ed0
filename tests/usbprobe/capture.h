#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace usbprobe_test {

// A FILE* whose output a test reads back as a string.
class CCapture {
  public:
    CCapture() : file_(open_memstream(&buffer_, &size_)) {}
    ~CCapture() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
        std::free(buffer_);
    }
    CCapture(const CCapture&) = delete;
    CCapture& operator=(const CCapture&) = delete;

    std::FILE* File() const { return file_; }
    std::string Text() {
        std::fflush(file_);
        return std::string(buffer_, size_);
    }

  private:
    char* buffer_ = nullptr;
    size_t size_ = 0;
    std::FILE* file_;
};

}  // namespace usbprobe_test
