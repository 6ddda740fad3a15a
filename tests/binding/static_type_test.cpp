#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "binding/static_type.h"

namespace Zarvo {
namespace {

struct Probe {};

TEST(Fnv1a, MatchesTheReferenceCodesOfSignatureTexts) {
    static_assert(Fnv1a("") == 0x811C9DC5u);
    EXPECT_EQ(Fnv1a("unsigned int __cdecl StaticType::HashCode<int>(void)"), 0x1C4DE261u);
    EXPECT_EQ(Fnv1a("unsigned int __cdecl StaticType::HashCode<bool>(void)"), 0x6AB1187Cu);
    EXPECT_EQ(Fnv1a("unsigned int __cdecl StaticType::HashCode<void>(void)"), 0x1BE7EF8Eu);
    EXPECT_EQ(Fnv1a(std::string_view("a\0b", 3)), Fnv1a(std::string_view("a\0b", 3)));
    EXPECT_NE(Fnv1a(std::string_view("a\0b", 3)), Fnv1a("a"));
}

TEST(StaticType, HashRecordNamesItsCodeInNineCharacters) {
    for (const StaticTypeInfo* record : {&StaticType::HashCode<void>(), &StaticType::HashCode<int>(),
                                         &StaticType::HashCode<std::vector<std::string>>(),
                                         &StaticType::HashCode<Probe>()}) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "#%08X", record->hashCode);
        EXPECT_STREQ(record->name, expected);
        EXPECT_EQ(std::strlen(record->name), 9u);
        EXPECT_EQ(record->name, record->nameBuffer);
    }
}

TEST(StaticType, OneRecordPerTypeAndDistinctRecordsForDistinctTypes) {
    EXPECT_EQ(&StaticType::HashCode<Probe>(), &StaticType::HashCode<Probe>());
    EXPECT_EQ(&StaticType::Name<Probe>(), &StaticType::Name<Probe>());

    const std::vector<const StaticTypeInfo*> records = {
        &StaticType::HashCode<void>(),       &StaticType::HashCode<bool>(),
        &StaticType::HashCode<int>(),        &StaticType::HashCode<unsigned int>(),
        &StaticType::HashCode<int&>(),       &StaticType::HashCode<const int>(),
        &StaticType::HashCode<std::string>(), &StaticType::HashCode<std::vector<int>>(),
        &StaticType::HashCode<Probe>()};
    for (size_t i = 0; i < records.size(); ++i) {
        for (size_t j = i + 1; j < records.size(); ++j) {
            EXPECT_NE(records[i], records[j]) << i << " " << j;
            EXPECT_NE(records[i]->hashCode, records[j]->hashCode) << i << " " << j;
        }
    }
}

TEST(StaticType, NameRecordSharesTheCodeAndSpellsTheType) {
    const StaticTypeInfo& named = StaticType::Name<Probe>();
    EXPECT_EQ(named.hashCode, StaticType::HashCode<Probe>().hashCode);
    EXPECT_NE(std::strstr(named.name, "Probe"), nullptr) << named.name;
    EXPECT_EQ(named.nameBuffer[0], '\0');
}

}  // namespace
}  // namespace Zarvo
