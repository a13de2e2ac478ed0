#pragma once

#include <string>

namespace platform {

// The directory every absolute host path is taken under: $KELVARO_ROOT, or empty for the real "/".
std::string HostRoot();

// An absolute host path ("/var/tmp/QvxSlc32.log") as seen under the host root.
std::string HostPath(const std::string& absolutePath);

// The temporary folder: $TMPDIR when set, else /tmp under the host root. No trailing "/".
std::string TempFolder();

}  // namespace platform
