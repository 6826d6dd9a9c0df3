#include <datagraph/Graph.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace datagraph {
namespace {

using test::IntValue;
using test::StubFunction;

// A subgraph entry for an id that never was a node outlives every node, so Clear complains;
// the graph's destructor clears too, and must swallow that.
TEST(GraphTest, DestructorReleasesEverythingAndRaisesNothingEvenWhenClearFails) {
    auto doomed = std::make_unique<Graph>(CreateGUID());
    auto function = std::make_shared<StubFunction>();
    const GUID input = function->AddInput(typeid(IntValue));
    doomed->CreateNode(function, GetNullGUID());
    const std::weak_ptr<StubFunction> watchedFunction = function;
    auto value = std::make_shared<const IntValue>(7);
    const std::weak_ptr<const IntValue> watchedValue = value;
    doomed->PutDataOnPin(input, std::move(value));
    function.reset();
    doomed->AssignNodeToExecutionSubgraphs(CreateGUID(), CreateGUID());

    EXPECT_NO_THROW(doomed.reset());

    EXPECT_TRUE(watchedFunction.expired());
    EXPECT_TRUE(watchedValue.expired());
}

} // namespace
} // namespace datagraph
