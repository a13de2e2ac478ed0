#pragma once

#include <string>

namespace platform {

// A named marker that lives as long as the process holds it: an abstract Unix socket bound under the
// name, visible to every user and gone when the process ends.
class InstanceLock {
  public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // true when this process now holds the name; false when another holder has it.
    bool Acquire(const std::string& name);
    void Release();
    bool Held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

}  // namespace platform
