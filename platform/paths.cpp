#include "platform/paths.h"

#include <cstdlib>

namespace platform {

std::string HostRoot() {
    const char* root = std::getenv("KELVARO_ROOT");
    std::string text = root ? root : "";
    while (!text.empty() && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

std::string HostPath(const std::string& absolutePath) {
    return HostRoot() + absolutePath;
}

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp && *tmp) ? tmp : HostPath("/tmp");
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

}  // namespace platform
