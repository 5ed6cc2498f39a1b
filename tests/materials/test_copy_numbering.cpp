// Copy numbering of materials picked more than once: the table of the material form, and the
// cases where a name merely ends in digits.

#include <gtest/gtest.h>

#include "CopyNumbering.h"

namespace {

std::vector<CMaterial> List(std::initializer_list<std::pair<const char*, int>> entries) {
    std::vector<CMaterial> list;
    for (const auto& [name, number] : entries) {
        CMaterial material;
        material.m_strName = name;
        material.m_nNo = number;
        list.push_back(material);
    }
    return list;
}

void ExpectCopy(const std::vector<CMaterial>& list, const char* picked, const char* name, int number) {
    const CNumberedName result = NumberedCopyName(list, static_cast<int>(list.size()), picked);
    EXPECT_EQ(result.name, name);
    EXPECT_EQ(result.number, number);
}

}  // namespace

TEST(CopyNumbering, FollowsTheLastCopyOfThePickedName) {
    ExpectCopy({}, "carbon", "carbon", 0);
    ExpectCopy(List({{"carbon", 0}}), "carbon", "carbon1", 1);
    ExpectCopy(List({{"carbon", 0}, {"carbon1", 1}}), "carbon", "carbon2", 2);
    ExpectCopy(List({{"carbon", 0}, {"carbon2", 2}}), "carbon", "carbon3", 3);
    ExpectCopy(List({{"carbon", 0}, {"glass", 0}}), "glass", "glass1", 1);
    // The search runs from the end: the newest copy decides.
    ExpectCopy(List({{"carbon", 0}, {"carbon9", 9}, {"carbon10", 10}}), "carbon", "carbon11", 11);
}

TEST(CopyNumbering, NamesThatOnlyLookNumberedAreTheirOwn) {
    // "T300" with number 0 keeps all its characters; picking "T30" does not match it.
    ExpectCopy(List({{"T300", 0}}), "T30", "T30", 0);
    ExpectCopy(List({{"T300", 0}}), "T300", "T3001", 1);
    // Letter case counts.
    ExpectCopy(List({{"Carbon", 0}}), "carbon", "carbon", 0);
    // A number longer than its name cuts the whole name away without reading past it.
    ExpectCopy(List({{"x", 123}}), "", "124", 124);
}

TEST(CopyNumbering, OnlyEntriesBelowTheCountAreSearched) {
    const std::vector<CMaterial> list = List({{"glass", 0}, {"carbon", 0}});
    const CNumberedName result = NumberedCopyName(list, 1, "carbon");
    EXPECT_EQ(result.name, "carbon");
    EXPECT_EQ(result.number, 0);
    EXPECT_EQ(NumberedCopyName(list, 5, "carbon").name, "carbon1");
}
