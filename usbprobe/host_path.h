#pragma once

#include <string>

namespace usbprobe {

// An absolute path as seen under $KELVARO_ROOT (empty or unset: the real "/"); a relative path is left
// relative to the current directory.
std::string UnderRoot(const std::string& path);

}  // namespace usbprobe
