#include "model/model_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_root.h"

namespace {

std::vector<std::string> Sections(const std::vector<model::TreeNode>& nodes) {
    std::vector<std::string> names;
    for (const model::TreeNode& node : nodes) {
        names.push_back(node.Section);
    }
    return names;
}

TEST(TreeTest, ReadsTheNodesInListOrderWithTheirChildren) {
    testsupport::TempDir dir;
    std::string file = dir.Write("m.ini",
                                 "[TreeRoot]\nNumChildren=3\nChildren=Paper,Ports,Help\n"
                                 "[Paper]\nStringId=61214\nViewId=1\nNumChildren=1\nChildren=Custom\n"
                                 "[Custom]\nStringId=61219\nViewId=2\nNumChildren=1\nChildren=Paper\n"
                                 "[Ports]\nStringId=61211\nNumChildren=2\nChildren=Parallel,Usb\n"
                                 "[Parallel]\nStringId=61212\nViewId=10\n"
                                 "[Usb]\nStringId=61213\nViewId=11\n"
                                 "[Help]\nStringId= 61306\n");
    std::vector<model::TreeNode> tree = model::ReadTree(file);
    ASSERT_EQ(Sections(tree), (std::vector<std::string>{"Paper", "Ports", "Help"}));

    EXPECT_EQ(tree[0].Caption, "用紙");
    EXPECT_EQ(tree[0].ViewId, 1);
    ASSERT_EQ(tree[0].Children.size(), 1u);
    EXPECT_EQ(tree[0].Children[0].Caption, "ユーザー定義");
    EXPECT_EQ(tree[0].Children[0].ViewId, 2);
    EXPECT_TRUE(tree[0].Children[0].Children.empty());  // a third level is never read

    EXPECT_EQ(tree[1].Caption, "ポート");
    EXPECT_EQ(tree[1].ViewId, 0);  // a grouping node opens the help pane
    EXPECT_EQ(Sections(tree[1].Children), (std::vector<std::string>{"Parallel", "Usb"}));
    EXPECT_EQ(tree[1].Children[1].Caption, "USB");

    EXPECT_EQ(tree[2].StringId, 61306);
    EXPECT_EQ(tree[2].Caption, "");  // an identifier without an entry
}

struct ChildrenCase {
    const char* what;
    std::string keys;
    std::vector<std::string> names;
};

TEST(TreeTest, TakesTheFirstNumChildrenNamesPresentUpToTen) {
    const ChildrenCase cases[] = {
        {"baseline", "NumChildren=2\nChildren=A,B\n", {"A", "B"}},
        {"fewer than listed", "NumChildren=1\nChildren=A,B\n", {"A"}},
        {"no NumChildren", "Children=A,B\n", {}},
        {"NumChildren 0", "NumChildren=0\nChildren=A,B\n", {}},
        {"more than listed", "NumChildren=5\nChildren=A,,B\n", {"A", "B"}},
        {"more than ten",
         "NumChildren=12\nChildren=A,B,C,D,E,F,G,H,I,J,K,L\n",
         {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"}},
        {"no Children", "NumChildren=2\n", {}},
    };
    testsupport::TempDir dir;
    for (const ChildrenCase& c : cases) {
        std::string file = dir.Write("m.ini", "[TreeRoot]\n" + c.keys);
        EXPECT_EQ(model::ReadChildNames(file, "TreeRoot"), c.names) << c.what;
    }
    EXPECT_TRUE(model::ReadTree(dir.Path() + "/none.ini").empty());
}

TEST(ModelFileTest, ReadsDriverNamesAndOemString) {
    testsupport::TempDir dir;
    std::string file = dir.Write("m.ini",
                                 "; drivers\n[DriverNames]\nQuorvex K600 PCL 6\n\nQuorvex K600 PS3\n"
                                 "[OEM]\nOEMString=\"Quorvex\"\n");
    EXPECT_EQ(model::ReadDriverNames(file),
              (std::vector<std::string>{"Quorvex K600 PCL 6", "Quorvex K600 PS3"}));
    EXPECT_EQ(model::ReadOemString(file), "Quorvex");

    std::string bare = dir.Write("bare.ini", "[OEM]\n");
    EXPECT_TRUE(model::ReadDriverNames(bare).empty());
    EXPECT_EQ(model::ReadOemString(bare), "");
}

}  // namespace
