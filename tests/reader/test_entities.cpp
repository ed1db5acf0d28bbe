// Character entities: every HTML 4 name gives its own Unicode character.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "html/reader/entities.h"

namespace kv {
namespace {

TEST(Entities, TableHoldsTheWholeSetAndEveryNameFindsItsCharacter) {
    const auto table = EntityTable();
    ASSERT_EQ(table.size(), 252u);
    std::size_t longest = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(table[i - 1].name, table[i].name);  // sorted, so distinct
        }
        EXPECT_EQ(EntityChar(table[i].name), table[i].ch) << table[i].name;
        longest = std::max(longest, table[i].name.size());
    }
    EXPECT_EQ(longest, kMaxEntityName);
}

TEST(Entities, GroupEndsLongNamesAndCaseGiveTheRightCharacter) {
    const std::pair<const char*, char32_t> cases[] = {
        {"nbsp", 0xA0},   {"yuml", 0xFF},   {"fnof", 0x192},     {"diams", 0x2666},
        {"quot", 0x22},   {"euro", 0x20AC}, {"thetasym", 0x3D1}, {"alefsym", 0x2135},
        {"Alpha", 0x391}, {"alpha", 0x3B1}, {"Eacute", 0xC9},    {"eacute", 0xE9},
    };
    for (const auto& [name, ch] : cases) EXPECT_EQ(EntityChar(name), ch) << name;
    // Not names: too short, too long, nine letters, wrong case, a NUL inside, past either end.
    const std::string notNames[] = {
        "", "nbs", "nbspx", "thetasymx", "NBSP", std::string("nbsp\0", 5), "AAAA", "zzzz"};
    for (const std::string& name : notNames) EXPECT_EQ(EntityChar(name), 0u) << name;
}

}  // namespace
}  // namespace kv
