#include <kescoreplatform/KString.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(KStringTest, LengthMinusOneTakesTheTextUpToItsTerminatingZero) {
    EXPECT_EQ(KString(L"graph-node", -1).toStdString(), "graph-node");
    EXPECT_EQ(KString(L"", -1).toStdString(), "");
    EXPECT_EQ(KString(nullptr, -1).toStdString(), "");
}

TEST(KStringTest, ExplicitLengthTakesExactlyThatManyCharacters) {
    EXPECT_EQ(KString(L"graph-node", 5).toStdString(), "graph");
    EXPECT_EQ(KString(L"graph-node", 0).toStdString(), "");
    EXPECT_EQ(KString(L"a\0b", 3).toStdString(), std::string("a\0b", 3));
}

TEST(KStringTest, NonAsciiTextConvertsToUtf8) {
    // Two-, three- and four-byte sequences.
    EXPECT_EQ(KString(L"caf\u00e9 \u20ac \U0001D11E", -1).toStdString(),
              "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E");
}

} // namespace
