#include "ScopedFlagSetter.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

namespace datagraph {
namespace {

TEST(ScopedFlagSetterTest, SetsTheFlagOnEntryAndRestoresItOnNormalExit) {
    bool flag = false;
    {
        ScopedFlagSetter setter(true, false, [&](bool value) { flag = value; });
        EXPECT_TRUE(flag);
    }
    EXPECT_FALSE(flag);
}

TEST(ScopedFlagSetterTest, RestoresTheFlagWhileAnExceptionUnwinds) {
    std::vector<bool> writes;
    try {
        ScopedFlagSetter setter(true, false, [&](bool value) { writes.push_back(value); });
        throw std::runtime_error("node failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(writes, (std::vector<bool>{true, false}));
}

TEST(ScopedFlagSetterTest, EmptySetterRaisesBadFunctionCall) {
    EXPECT_THROW(ScopedFlagSetter(true, false, std::function<void(bool)>()),
                 std::bad_function_call);
}

} // namespace
} // namespace datagraph
