#include "OneToManyMap.h"

#include <gtest/gtest.h>

#include <boost/uuid/uuid_generators.hpp>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace datagraph {
namespace {

GUID Id(const char* text) {
    return boost::uuids::string_generator()(std::string(text));
}

// Values whose GUID order is the reverse of the order in which the tests add them.
const GUID keyA = Id("00000000-0000-0000-0000-00000000000a");
const GUID keyB = Id("00000000-0000-0000-0000-00000000000b");
const GUID v1 = Id("00000000-0000-0000-0000-000000000003");
const GUID v2 = Id("00000000-0000-0000-0000-000000000002");
const GUID v3 = Id("00000000-0000-0000-0000-000000000001");
const GUID w1 = Id("00000000-0000-0000-0000-000000000004");

using Pairs = std::vector<std::pair<GUID, GUID>>;

Pairs Entries(const OneToManyMap& map) {
    return Pairs(map.GetKeyToValues().begin(), map.GetKeyToValues().end());
}

void ExpectEmptyMessageFailure(const std::function<void()>& operation) {
    try {
        operation();
        ADD_FAILURE() << "Expected GraphException";
    } catch (const GraphException& e) {
        EXPECT_STREQ(e.what(), "");
    }
}

class OneToManyMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        map.Add(keyB, w1);
        map.Add(keyA, v1);
        map.Add(keyA, v2);
        map.Add(keyA, v3);
    }

    // Every pair on the key side is found from the value side, and the other way round.
    void ExpectSidesAgree() {
        const Pairs entries = Entries(map);
        std::size_t valuesFound = 0;
        for (const GUID& value : {v1, v2, v3, w1}) {
            if (map.HasValue(value)) {
                ++valuesFound;
                const std::pair<GUID, GUID> pair(map.GetKey(value), value);
                EXPECT_EQ(std::count(entries.begin(), entries.end(), pair), 1);
                EXPECT_EQ(map.GetValues(pair.first).count(value), 1u);
            }
        }
        EXPECT_EQ(valuesFound, entries.size());
    }

    OneToManyMap map;
};

TEST_F(OneToManyMapTest, KeysAreOrderedAndAKeysValuesKeepInsertionOrder) {
    EXPECT_EQ(Entries(map), (Pairs{{keyA, v1}, {keyA, v2}, {keyA, v3}, {keyB, w1}}));
    EXPECT_EQ(map.GetValues(keyA), (IdentifierSet{v1, v2, v3}));
    EXPECT_EQ(map.GetKey(v2), keyA);
    ExpectSidesAgree();
}

TEST_F(OneToManyMapTest, ASecondKeyForAValueIsRefusedWithAnEmptyMessage) {
    const Pairs before = Entries(map);

    ExpectEmptyMessageFailure([&] { map.Add(keyB, v1); });
    ExpectEmptyMessageFailure([&] { map.Add(keyA, v1); });

    EXPECT_EQ(Entries(map), before);
    EXPECT_EQ(map.GetKey(v1), keyA);
}

TEST_F(OneToManyMapTest, RemoveValueTakesOnlyThatPairFromBothSides) {
    map.RemoveValue(v2);

    EXPECT_FALSE(map.HasValue(v2));
    EXPECT_EQ(Entries(map), (Pairs{{keyA, v1}, {keyA, v3}, {keyB, w1}}));
    ExpectSidesAgree();

    map.RemoveValue(w1);
    EXPECT_FALSE(map.HasKey(keyB));
    EXPECT_TRUE(map.GetValues(keyB).empty());

    map.Add(keyB, v2);
    EXPECT_EQ(Entries(map), (Pairs{{keyA, v1}, {keyA, v3}, {keyB, v2}}));
    ExpectSidesAgree();
}

TEST_F(OneToManyMapTest, RemoveKeyTakesAllItsValuesFromBothSides) {
    map.RemoveKey(keyA);

    EXPECT_FALSE(map.HasKey(keyA));
    for (const GUID& value : {v1, v2, v3}) {
        EXPECT_FALSE(map.HasValue(value));
    }
    EXPECT_EQ(Entries(map), (Pairs{{keyB, w1}}));
    ExpectSidesAgree();

    map.RemoveKey(keyB);
    EXPECT_TRUE(map.IsEmpty());
}

TEST_F(OneToManyMapTest, OperationsOnAbsentIdsFailWithAnEmptyMessageAndChangeNothing) {
    const GUID absent = Id("00000000-0000-0000-0000-0000000000ff");
    const Pairs before = Entries(map);

    ExpectEmptyMessageFailure([&] { map.GetKey(absent); });
    ExpectEmptyMessageFailure([&] { map.RemoveValue(absent); });
    ExpectEmptyMessageFailure([&] { map.RemoveKey(absent); });

    EXPECT_EQ(Entries(map), before);
    EXPECT_FALSE(map.HasKey(absent));
    EXPECT_TRUE(map.GetValues(absent).empty());
}

} // namespace
} // namespace datagraph
