#include "store/RecordTable.h"

#include <gtest/gtest.h>

#include <array>
#include <bitset>
#include <cstring>
#include <random>
#include <unordered_set>

namespace datagraph {
namespace {

GUID FromHalves(std::uint64_t low, std::uint64_t high) {
    GUID id;
    std::memcpy(id.data, &low, sizeof low);
    std::memcpy(id.data + sizeof low, &high, sizeof high);
    return id;
}

// Ids on which an unkeyed multiply-and-xor of the halves, low * K ^ (high + C), takes one value:
// what a document could hold to make every lookup of a table with such a hash collide.
GUID CollidingUnderAnUnkeyedMix(std::uint64_t low) {
    const std::uint64_t k = 0x9E3779B97F4A7C15ULL;
    const std::uint64_t c = 0x632BE59BD9B4E019ULL;
    return FromHalves(low, (0x1234 ^ (low * k)) - c);
}

TEST(GuidHashTest, IdsCraftedAgainstAnUnkeyedMixSpreadOverTheSlots) {
    const GuidHash hash;
    const std::size_t slots = 4096;
    std::unordered_set<std::size_t> used;
    for (std::uint64_t low = 1; low <= slots; ++low) {
        used.insert(hash(CollidingUnderAnUnkeyedMix(low)) & (slots - 1));
    }
    // Random slots would fill about 1 - 1/e of them.
    EXPECT_GT(used.size(), slots / 2);
}

TEST(GuidHashTest, EveryBitOfAnIdReachesEveryBitOfTheHash) {
    const GuidHash hash;
    std::mt19937_64 random(42);
    const int samples = 2000;
    std::vector<std::array<int, 64>> flips(128);
    for (int sample = 0; sample < samples; ++sample) {
        const std::uint64_t low = random();
        const std::uint64_t high = random();
        const std::uint64_t original = hash(FromHalves(low, high));
        for (int bit = 0; bit < 128; ++bit) {
            const std::uint64_t flippedLow = bit < 64 ? low ^ (1ULL << bit) : low;
            const std::uint64_t flippedHigh = bit < 64 ? high : high ^ (1ULL << (bit - 64));
            const std::bitset<64> changed(original ^ hash(FromHalves(flippedLow, flippedHigh)));
            for (int out = 0; out < 64; ++out) {
                flips[bit][out] += changed[out] ? 1 : 0;
            }
        }
    }
    for (int bit = 0; bit < 128; ++bit) {
        for (int out = 0; out < 64; ++out) {
            SCOPED_TRACE(testing::Message() << "input bit " << bit << ", output bit " << out);
            const double rate = double(flips[bit][out]) / samples;
            EXPECT_GT(rate, 0.4);
            EXPECT_LT(rate, 0.6);
        }
    }
}

} // namespace
} // namespace datagraph
