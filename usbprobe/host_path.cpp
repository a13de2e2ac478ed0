#include "usbprobe/host_path.h"

#include <cstdlib>

namespace usbprobe {

std::string UnderRoot(const std::string& path) {
    if (path.empty() || path.front() != '/') {
        return path;
    }
    const char* root = std::getenv("KELVARO_ROOT");
    if (root == nullptr || *root == '\0') {
        return path;
    }
    std::string rooted(root);
    while (!rooted.empty() && rooted.back() == '/') {
        rooted.pop_back();
    }
    return rooted + path;
}

}  // namespace usbprobe
