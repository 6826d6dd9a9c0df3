#include <datagraph/Foundation.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>

namespace datagraph {
namespace {

// 01234567-89ab-cdef-fedc-ba9876543210
const GUID sample = {{0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0xfe, 0xdc, 0xba, 0x98, 0x76,
                      0x54, 0x32, 0x10}};

TEST(FoundationTest, ParsingFollowsTheLowerCaseTextFormAndGivesTheNullGuidForAnythingElse) {
    EXPECT_EQ(GUIDToString(GetNullGUID()), "00000000-0000-0000-0000-000000000000");
    EXPECT_EQ(GUIDToString(sample), "01234567-89ab-cdef-fedc-ba9876543210");

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
        {"{01234567-89ab-cdef-fedc-ba9876543210}", null},
        {"0123456789abcdeffedcba9876543210", null},
        {"01234567-89ab-cdef-fedc-ba987654321", null},
        {"0123456-789ab-cdef-fedc-ba9876543210", null},
        {"01234567-89ab-cdef-fedc-ba98765432g0", null},
        {"", null},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("text: \"") + c.text + "\"");
        EXPECT_EQ(GUIDFromString(c.text), c.expected);
    }
}

TEST(FoundationTest, CreatedGuidsAreDistinctVersionFourAndParseBack) {
    IdentifierSet seen;
    for (int i = 0; i < 100; ++i) {
        const GUID id = CreateGUID();
        const std::string text = GUIDToString(id);
        SCOPED_TRACE(text);
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos);
        EXPECT_EQ(GUIDFromString(text), id);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(FoundationTest, GraphExceptionKeepsItsMessageThroughCopiesMovesAndAssignments) {
    EXPECT_NO_THROW(GraphAssert(true, "Output pin does not exist."));
    EXPECT_GRAPH_EXCEPTION(GraphAssert(false, "Output pin does not exist."),
                           "Output pin does not exist.");
    EXPECT_THROW(GraphAssert(false), std::logic_error);
    EXPECT_STREQ(GraphException(std::domain_error("outside")).what(), "outside");

    GraphException source("Node does not exist");
    GraphException target("old");
    const GraphException copy(source);
    const GraphException moved(std::move(source));
    target = std::move(source); // NOLINT(bugprone-use-after-move): the source keeps its message

    for (const GraphException* e :
         std::initializer_list<const GraphException*>{&source, &copy, &moved, &target}) {
        EXPECT_STREQ(e->what(), "Node does not exist");
    }
    target = GraphException("Input pin does not exist.");
    GraphException& self = target;
    target = self;
    EXPECT_STREQ(target.what(), "Input pin does not exist.");
}

} // namespace
} // namespace datagraph
