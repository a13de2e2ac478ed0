#include "resources/string_table.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

TEST(StringTableTest, IsSortedByIdentifierWithEachIdentifierOnce) {
    auto table = resources::StringTable();
    ASSERT_FALSE(table.empty());
    for (size_t i = 1; i < table.size(); ++i) {
        EXPECT_LT(table[i - 1].Id, table[i].Id) << "entry " << i;
    }
}

TEST(StringTableTest, EveryEntryHasText) {
    for (const resources::StringEntry& entry : resources::StringTable()) {
        ASSERT_NE(entry.Text, nullptr) << entry.Id;
        EXPECT_STRNE(entry.Text, "") << entry.Id;
    }
}

struct KnownString {
    unsigned id;
    const char* text;
};

TEST(StringTableTest, LoadsKnownEntries) {
    const KnownString cases[] = {
        {128, "Kelvaro"},  // product name, first and only part
        {1344, "プリンタに送られたジョブを印刷する部数を指定します。"},
        {61211, "ポート"},  // first value caption
        {61213, "USB"},
        {61249, "用紙 > 用紙をセット"},     // a title without leading blank
        {61292, " 用紙  >  ユーザー定義"},  // blanks of a title are kept
        {61303, "ＭＳ Ｐゴシック"},         // page title font
        {61290, "コマンド ファイル %s に設定を書込めません。"},
        {61437, "横"},                   // last value caption
        {61439, "設定情況 - 確認済み"},  // last entry
    };
    for (const KnownString& c : cases) {
        EXPECT_EQ(resources::LoadString(c.id), c.text) << c.id;
    }
}

TEST(StringTableTest, MissingIdentifierGivesEmptyText) {
    const unsigned missing[] = {0, 1, 127, 129, 61193, 61306, 61438, 61440, 4294967295u};
    for (unsigned id : missing) {
        EXPECT_EQ(resources::LoadString(id), "") << id;
    }
}

TEST(StringTableTest, HoldsEveryValueCaptionTheModelFilesMayName) {
    std::set<unsigned> ids;
    for (const resources::StringEntry& entry : resources::StringTable()) {
        ids.insert(entry.Id);
    }
    // The value captions a model file may name; the gaps between the ranges hold messages and titles.
    const std::pair<unsigned, unsigned> ranges[] = {{61211, 61241}, {61246, 61248}, {61250, 61262},
                                                    {61264, 61286}, {61293, 61293}, {61308, 61332},
                                                    {61334, 61352}, {61355, 61355}, {61412, 61437}};
    for (auto [first, last] : ranges) {
        for (unsigned id = first; id <= last; ++id) {
            EXPECT_TRUE(ids.count(id)) << id;
        }
    }
}

}  // namespace
