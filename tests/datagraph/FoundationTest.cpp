#include <datagraph/Foundation.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace datagraph {
namespace {

// 01234567-89ab-cdef-fedc-ba9876543210
const GUID sample = {{0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0xfe, 0xdc, 0xba, 0x98, 0x76,
                      0x54, 0x32, 0x10}};

TEST(FoundationTest, TextFormIsLowerCaseEightFourFourFourTwelve) {
    EXPECT_EQ(GUIDToString(GetNullGUID()), "00000000-0000-0000-0000-000000000000");
    EXPECT_EQ(GUIDToString(sample), "01234567-89ab-cdef-fedc-ba9876543210");
    EXPECT_TRUE(GetNullGUID().is_nil());
}

TEST(FoundationTest, ParsingFollowsTheTextFormAndGivesTheNullGuidForAnythingElse) {
    struct Case {
        const char* text;
        GUID expected;
    };

    const GUID null = GetNullGUID();
    const Case cases[] = {
        {"01234567-89ab-cdef-fedc-ba9876543210", sample},
        {"01234567-89AB-CDEF-FEDC-BA9876543210", sample},
        {" \t\n01234567-89ab-cdef-fedc-ba9876543210", sample},
        {"0123 4567 - 89ab -cd ef-fedc-ba98 7654 3210", sample},
        {"01234567-89ab-cdef-fedc-ba9876543210 and more", sample},
        {"01234567-89ab-cdef-fedc-ba9876543210ffff", sample},
        {"{01234567-89ab-cdef-fedc-ba9876543210}", null},
        {"0123456789abcdeffedcba9876543210", null},
        {"01234567-89ab-cdef-fedc-ba987654321", null},
        {"0123456-789ab-cdef-fedc-ba9876543210", null},
        {"01234567-89ab-cdef-fedc-ba98765432g0", null},
        {"not a guid at all", null},
        {"", null},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("text: \"") + c.text + "\"");
        EXPECT_EQ(GUIDFromString(c.text), c.expected);
    }
}

TEST(FoundationTest, CreatedGuidsAreDistinctVersionFourRfcVariantAndParseBack) {
    IdentifierSet seen;
    for (int i = 0; i < 200; ++i) {
        const GUID id = CreateGUID();
        SCOPED_TRACE(GUIDToString(id));
        EXPECT_EQ(id.data[6] >> 4, 0x4);
        EXPECT_EQ(id.data[8] >> 6, 0x2);
        const std::string text = GUIDToString(id);
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos);
        EXPECT_EQ(GUIDFromString(text), id);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(FoundationTest, GuidsOrderLikeTheirTextFormsAndIdentifierSetsHoldEqualGuidsOnce) {
    // Ascending text; 0x80 must sort after 0x7f, so bytes compare unsigned.
    const char* const ascending[] = {
        "00000000-0000-0000-0000-000000000000", "00000000-0000-0000-0000-0000000000ff",
        "00000000-0000-0000-0000-000000000100", "7fffffff-ffff-ffff-ffff-ffffffffffff",
        "80000000-0000-0000-0000-000000000000"};
    IdentifierSet ids;
    for (std::size_t i = 0; i < std::size(ascending); ++i) {
        SCOPED_TRACE(ascending[i]);
        const GUID id = GUIDFromString(ascending[i]);
        if (i > 0) {
            EXPECT_TRUE(std::less<GUID>()(GUIDFromString(ascending[i - 1]), id));
            EXPECT_FALSE(std::less<GUID>()(id, GUIDFromString(ascending[i - 1])));
        }
        ids.insert(id);
        ids.insert(GUIDFromString(ascending[i]));
    }
    EXPECT_EQ(ids.size(), std::size(ascending));
    EXPECT_EQ(ids.count(GetNullGUID()), 1u);
}

TEST(FoundationTest, GraphAssertRaisesOnlyOnAFalseConditionAndIsCaughtAsStandardErrors) {
    EXPECT_NO_THROW(GraphAssert(true, "Output pin does not exist."));
    EXPECT_NO_THROW(GraphAssert(true));

    EXPECT_GRAPH_EXCEPTION(GraphAssert(false, "Output pin does not exist."),
                           "Output pin does not exist.");
    EXPECT_GRAPH_EXCEPTION(GraphAssert(false), "");
    EXPECT_THROW(GraphAssert(false, "text"), std::logic_error);
    EXPECT_THROW(GraphAssert(false), std::exception);
}

TEST(FoundationTest, GraphExceptionCopiesMovesAndAssignmentsKeepTheMessageInBothObjects) {
    GraphException source("Node does not exist");
    GraphException target("old");

    const GraphException copy(source);
    const GraphException moved(std::move(source));
    target = std::move(source); // NOLINT(bugprone-use-after-move): the source keeps its message

    for (const GraphException* e :
         std::initializer_list<const GraphException*>{&source, &copy, &moved, &target}) {
        EXPECT_STREQ(e->what(), "Node does not exist");
    }
    GraphException other("Input pin does not exist.");
    target = other;
    EXPECT_STREQ(target.what(), "Input pin does not exist.");
    GraphException& self = target;
    target = self;
    target = std::move(self);
    EXPECT_STREQ(target.what(), "Input pin does not exist.");
}

TEST(FoundationTest, GraphExceptionFromALogicErrorTakesItsMessage) {
    const std::domain_error cause("outside the domain");

    const GraphException fromCause(cause);

    EXPECT_STREQ(fromCause.what(), "outside the domain");
    EXPECT_STREQ(GraphException(std::logic_error("")).what(), "");
}

} // namespace
} // namespace datagraph
