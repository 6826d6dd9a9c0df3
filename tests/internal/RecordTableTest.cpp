#include "RecordTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace datagraph {
namespace {

// A record answers Id() with the id it is filed under, as the graph's records do.
struct Counted {
    Counted(const GUID& id, int value, int& alive)
        : id(id)
        , value(value)
        , alive(alive) {
        ++alive;
    }

    Counted(const Counted&) = delete;

    ~Counted() { --alive; }

    const GUID& Id() const { return id; }

    GUID id;
    int value;
    int& alive;
    std::size_t place = 0;
    bool inBlock = false;
};

GUID Id(std::uint64_t low, std::uint64_t high = 0) {
    GUID id;
    std::memcpy(id.data, &low, sizeof low);
    std::memcpy(id.data + sizeof low, &high, sizeof high);
    return id;
}

// Random inserts and erases, checked against a standard map after every step. A small key space
// makes erases hit long probe runs that wrap around the end of the slots.
TEST(RecordTableTest, AgreesWithAStandardMapThroughInsertsAndErases) {
    int alive = 0;
    {
        RecordTable<Counted> table;
        std::unordered_map<std::uint64_t, int> reference;
        std::mt19937_64 random(7);
        for (int step = 0; step < 20000; ++step) {
            const std::uint64_t key = random() % 300;
            if (random() % 3 != 0) {
                Counted* made = table.TryEmplace(Id(key, key * 31), Id(key, key * 31), step, alive);
                const bool fresh = reference.emplace(key, step).second;
                ASSERT_EQ(made != nullptr, fresh);
            } else {
                table.Erase(Id(key, key * 31));
                reference.erase(key);
            }
            ASSERT_EQ(table.Size(), reference.size());
            ASSERT_EQ(alive, static_cast<int>(reference.size()));
            if (step % 97 == 0) {
                for (std::uint64_t probe = 0; probe < 300; ++probe) {
                    const Counted* found = table.Find(Id(probe, probe * 31));
                    const auto expected = reference.find(probe);
                    ASSERT_EQ(found != nullptr, expected != reference.end());
                    if (found != nullptr) {
                        ASSERT_EQ(found->value, expected->second);
                    }
                }
            }
        }
        int visited = 0;
        table.ForEach([&](const Counted&) { ++visited; });
        EXPECT_EQ(visited, static_cast<int>(reference.size()));
    }
    EXPECT_EQ(alive, 0);
}

struct Refusing {
    Refusing(const GUID& id, bool refuse)
        : id(id) {
        if (refuse) {
            throw std::runtime_error("refused");
        }
    }

    const GUID& Id() const { return id; }

    GUID id;
    std::size_t place = 0;
    bool inBlock = false;
};

TEST(RecordTableTest, ARecordThatFailsToBeMadeLeavesNoEntry) {
    RecordTable<Refusing> table;
    for (std::uint64_t key = 0; key < 12; ++key) {
        ASSERT_NE(table.TryEmplace(Id(key), Id(key), false), nullptr);
    }
    // The thirteenth entry makes the table grow before the record is made.
    EXPECT_THROW(table.TryEmplace(Id(99), Id(99), true), std::runtime_error);
    EXPECT_EQ(table.Size(), 12u);
    EXPECT_EQ(table.Find(Id(99)), nullptr);
    for (std::uint64_t key = 0; key < 12; ++key) {
        EXPECT_NE(table.Find(Id(key)), nullptr);
    }
}

// A copy made record by record in the source's order, then indexed like the source, finds every
// id, also after erases in the source left it with moved records and shifted slots.
TEST(RecordTableTest, ACopyIndexedLikeItsSourceFindsTheSameRecords) {
    int alive = 0;
    RecordTable<Counted> source;
    for (std::uint64_t key = 0; key < 500; ++key) {
        source.TryEmplace(Id(key), Id(key), static_cast<int>(key), alive);
    }
    for (std::uint64_t key = 0; key < 500; key += 3) {
        source.Erase(Id(key));
    }
    RecordTable<Counted> copy;
    source.ForEach([&](const Counted& record) {
        copy.AppendUnindexed(RecordStorage(), record.id, record.value, alive);
    });
    copy.IndexLike(source);
    for (std::uint64_t key = 0; key < 500; ++key) {
        const Counted* found = copy.Find(Id(key));
        ASSERT_EQ(found != nullptr, key % 3 != 0);
        if (found != nullptr) {
            EXPECT_EQ(found->value, static_cast<int>(key));
            EXPECT_NE(found, source.Find(Id(key)));
        }
    }
    copy.Erase(Id(1));
    EXPECT_EQ(copy.Find(Id(1)), nullptr);
    EXPECT_NE(copy.Find(Id(2)), nullptr);
}

// Records made in the room behind another record are destroyed with their table but freed with
// the record that owns the room (the sanitizer build checks that nothing leaks or is freed twice).
TEST(RecordTableTest, RecordsLiveInTheRoomOfAnotherRecord) {
    int alive = 0;
    RecordTable<Counted> owners;
    {
        RecordTable<Counted> tenants;
        Counted* owner = owners.TryEmplaceIn(RecordStorage{2 * sizeof(Counted), nullptr}, Id(1),
                                             Id(1), 1, alive);
        ASSERT_NE(owner, nullptr);
        char* room = reinterpret_cast<char*>(owner) + sizeof(Counted);
        tenants.TryEmplaceIn(RecordStorage{0, room}, Id(2), Id(2), 2, alive);
        tenants.TryEmplaceIn(RecordStorage{0, room + sizeof(Counted)}, Id(3), Id(3), 3, alive);
        tenants.TryEmplace(Id(4), Id(4), 4, alive);
        const Counted* inRoom = tenants.Find(Id(2));
        const Counted* onItsOwn = tenants.Find(Id(4));
        ASSERT_TRUE(inRoom != nullptr && onItsOwn != nullptr);
        EXPECT_TRUE(inRoom->inBlock);
        EXPECT_FALSE(onItsOwn->inBlock);
        tenants.Erase(Id(2));
        EXPECT_EQ(alive, 3);
        EXPECT_NE(tenants.Find(Id(3)), nullptr);
    }
    EXPECT_EQ(alive, 1);
    owners.Erase(Id(1));
    EXPECT_EQ(alive, 0);
}

TEST(RecordTableTest, ClearAndSwapHandRecordsOverWhole) {
    int alive = 0;
    RecordTable<Counted> table;
    RecordTable<Counted> other;
    table.TryEmplace(Id(1), Id(1), 1, alive);
    table.TryEmplace(Id(2), Id(2), 2, alive);
    table.Swap(other);
    EXPECT_TRUE(table.Empty());
    const Counted* moved = other.Find(Id(2));
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->value, 2);
    other.Clear();
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(other.Find(Id(1)), nullptr);
}

} // namespace
} // namespace datagraph
