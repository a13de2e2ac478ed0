#pragma once

#include <string>

namespace platform {

// A shared library loaded by name through the normal search path, unloaded on destruction.
class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool Load(const std::string& name);
    bool IsLoaded() const { return handle_ != nullptr; }
    void* Symbol(const std::string& name) const;  // nullptr when missing or not loaded
    void Unload();

  private:
    void* handle_ = nullptr;
};

}  // namespace platform
