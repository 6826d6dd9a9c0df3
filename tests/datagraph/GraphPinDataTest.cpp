#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <memory>

namespace datagraph {
namespace {

TEST(GraphPinDataTest, OnlyANonEmptyValueOfTheExactTypeIsAcceptedAndARefusalChangesNothing) {
    Pin pin(typeid(test::IntValue), CreateGUID());
    const auto held = test::Int(1);
    pin.SetData(held);
    EXPECT_EQ(pin.GetData(), held);
    EXPECT_TRUE(pin.HasUpdatedData());
    for (bool mark : {true, false}) {
        SCOPED_TRACE(mark ? "mark set" : "mark cleared");
        pin.SetUpdatedData(mark);

        EXPECT_GRAPH_EXCEPTION(pin.SetData(std::make_shared<const test::DerivedIntValue>(2)),
                               "Data value has incorrect type");
        EXPECT_GRAPH_EXCEPTION(pin.SetData(test::Double(2.0)), "Data value has incorrect type");
        EXPECT_GRAPH_EXCEPTION(pin.SetData(nullptr), "Data value cannot be null");

        EXPECT_EQ(pin.GetData(), held);
        EXPECT_EQ(pin.HasUpdatedData(), mark);
    }
}

} // namespace
} // namespace datagraph
