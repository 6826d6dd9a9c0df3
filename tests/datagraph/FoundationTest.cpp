#include <datagraph/Foundation.h>

#include "TestSupport.h"

#include <boost/uuid/uuid_io.hpp>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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

// The text functions as they were first written, through a string stream: the new ones must give
// exactly their results.
GUID StreamFromString(const std::string& text) {
    std::stringstream stream(text);
    GUID guid = GetNullGUID();
    stream >> guid;
    return stream.fail() ? GetNullGUID() : guid;
}

// Valid texts in either case, then cut, padded, and with characters inserted or replaced by ones
// near the rules (digits, hyphens, white space, braces, bytes outside ASCII and zero).
std::vector<std::string> MutatedTexts(std::size_t count) {
    std::mt19937_64 random(20261207);
    const std::string alphabet =
        std::string("0123456789abcdefABCDEFgG-{} \t\n\v\f\r\xa0\x85") + std::string(1, '\0');
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < count; ++i) {
        GUID id;
        for (auto& byte : id.data) {
            byte = static_cast<std::uint8_t>(random());
        }
        std::string text = GUIDToString(id);
        if (random() % 2 == 0) {
            std::transform(text.begin(), text.end(), text.begin(), ::toupper);
        }
        for (std::uint64_t edits = random() % 4; edits > 0; --edits) {
            const std::size_t at = random() % (text.size() + 1);
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 4) {
            case 0:
                text.insert(at, 1, c);
                break;
            case 1:
                text.erase(std::min(at, text.size() - 1), 1);
                break;
            case 2:
                text.resize(at);
                break;
            default:
                if (at < text.size()) {
                    text[at] = c;
                }
            }
            if (text.empty()) {
                break;
            }
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(FoundationTest, TextFunctionsGiveTheStreamParserResultsOnEveryText) {
    for (const std::string& text : MutatedTexts(50000)) {
        SCOPED_TRACE("text: \"" + text + "\"");
        ASSERT_EQ(GUIDFromString(text), StreamFromString(text));
    }
    std::mt19937_64 random(7);
    for (int i = 0; i < 10000; ++i) {
        GUID id;
        for (auto& byte : id.data) {
            byte = static_cast<std::uint8_t>(random());
        }
        ASSERT_EQ(GUIDToString(id), boost::uuids::to_string(id));
    }
}

void ExpectVersionFour(const GUID& id) {
    EXPECT_EQ(id.data[6] >> 4, 4) << GUIDToString(id);
    EXPECT_EQ(id.data[8] >> 6, 2) << GUIDToString(id);
}

TEST(FoundationTest, TenMillionGuidsFromFourThreadsAreDistinct) {
    constexpr std::size_t perThread = 2500000;
    std::vector<std::vector<GUID>> made(4);
    std::vector<std::thread> threads;
    for (std::vector<GUID>& ids : made) {
        threads.emplace_back([&ids] {
            ids.reserve(perThread);
            for (std::size_t i = 0; i < perThread; ++i) {
                ids.push_back(CreateGUID());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::vector<GUID> all;
    for (const std::vector<GUID>& ids : made) {
        all.insert(all.end(), ids.begin(), ids.end());
        ExpectVersionFour(ids.front());
        ExpectVersionFour(ids.back());
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    std::size_t wrongBits = 0;
    for (const GUID& id : all) {
        wrongBits += (id.data[6] >> 4) != 4 || (id.data[8] >> 6) != 2 ? 1 : 0;
    }
    EXPECT_EQ(wrongBits, 0u);
}

std::vector<GUID> MakeGuids(std::size_t count) {
    std::vector<GUID> ids(count);
    for (GUID& id : ids) {
        id = CreateGUID();
    }
    return ids;
}

// The child inherits this thread's generator as it stood at fork(); it must not go on with it.
TEST(FoundationTest, ForkedChildMakesNoGuidItsParentMakes) {
    const std::size_t count = 100000;
    const std::vector<GUID> before = MakeGuids(count);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeEnds[0]);
        const std::vector<GUID> ids = MakeGuids(count);
        const auto* bytes = reinterpret_cast<const char*>(ids.data());
        std::size_t left = ids.size() * sizeof(GUID);
        while (left > 0) {
            const ssize_t written = write(pipeEnds[1], bytes, left);
            if (written <= 0) {
                _exit(1);
            }
            bytes += written;
            left -= static_cast<std::size_t>(written);
        }
        _exit(0);
    }
    close(pipeEnds[1]);
    std::vector<GUID> fromChild(count);
    auto* bytes = reinterpret_cast<char*>(fromChild.data());
    std::size_t left = fromChild.size() * sizeof(GUID);
    while (left > 0) {
        const ssize_t got = read(pipeEnds[0], bytes, left);
        ASSERT_GT(got, 0);
        bytes += got;
        left -= static_cast<std::size_t>(got);
    }
    close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::vector<GUID> all = MakeGuids(count);
    all.insert(all.end(), before.begin(), before.end());
    all.insert(all.end(), fromChild.begin(), fromChild.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    ExpectVersionFour(fromChild.front());
    ExpectVersionFour(fromChild.back());
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
