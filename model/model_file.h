#pragma once

#include <string>
#include <vector>

// Readers of the model file's identity and tree sections.
namespace model {

// The driver names of the model: the lines of "DriverNames", each compared whole with a driver name.
std::vector<std::string> ReadDriverNames(const std::string& file);

// "OEMString" of "OEM"; empty for the maker's own models.
std::string ReadOemString(const std::string& file);

struct TreeNode {
    std::string Section;
    int StringId = 0;
    std::string Caption;  // empty when the string table has no entry for StringId
    int ViewId = 0;       // 0: the help pane
    std::vector<TreeNode> Children;
};

// The names of the child sections of section ("TreeRoot" or a node): the first "NumChildren" names of
// "Children", capped to the names present and to ten.
std::vector<std::string> ReadChildNames(const std::string& file, const std::string& section);

// One node section, without its children.
TreeNode ReadTreeNode(const std::string& file, const std::string& section);

// The nodes under the tree's root, in file order, each with its own children; the tree has two levels
// below the root, so the children's "Children" are not read.
std::vector<TreeNode> ReadTree(const std::string& file);

}  // namespace model
