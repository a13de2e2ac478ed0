#include "model/model_file.h"

#include <algorithm>
#include <utility>

#include "model/model_text.h"
#include "platform/profile.h"

namespace model {

std::vector<std::string> ReadDriverNames(const std::string& file) {
    return platform::GetProfileSection(file, "DriverNames", kSectionBytes);
}

std::string ReadOemString(const std::string& file) {
    return platform::GetProfileString(file, "OEM", "OEMString", "", kOemChars + 1);
}

std::vector<std::string> ReadChildNames(const std::string& file, const std::string& section) {
    int numChildren = platform::GetProfileInt(file, section, "NumChildren", 0);
    if (numChildren == 0) {
        return {};
    }
    std::vector<std::string> names =
        SplitList(platform::GetProfileString(file, section, "Children", "", kListChars + 1));
    names.resize(std::min({names.size(), static_cast<size_t>(numChildren), kMaxChildren}));
    return names;
}

TreeNode ReadTreeNode(const std::string& file, const std::string& section) {
    TreeNode node;
    node.Section = section;
    node.StringId = platform::GetProfileInt(file, section, "StringId", 0);
    node.Caption = Caption(node.StringId);
    node.ViewId = platform::GetProfileInt(file, section, "ViewId", 0);
    return node;
}

std::vector<TreeNode> ReadTree(const std::string& file) {
    std::vector<TreeNode> nodes;
    for (const std::string& name : ReadChildNames(file, "TreeRoot")) {
        TreeNode node = ReadTreeNode(file, name);
        for (const std::string& childName : ReadChildNames(file, name)) {
            node.Children.push_back(ReadTreeNode(file, childName));
        }
        nodes.push_back(std::move(node));
    }
    return nodes;
}

}  // namespace model
