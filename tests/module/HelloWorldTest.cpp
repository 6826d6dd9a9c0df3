#include <datagraph/HelloWorld.h>

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(HelloWorldTest, DoHelloReturns42OnAnyObject) {
    HelloWorld hello;
    HelloWorld copy(hello);

    EXPECT_EQ(hello.doHello(), 42);
    EXPECT_EQ(copy.doHello(), 42);
}

TEST(HelloWorldTest, BothAssignmentsReturnTheAssignedObject) {
    HelloWorld target;
    HelloWorld source;

    EXPECT_EQ(&(target = source), &target);
    EXPECT_EQ(&(target = std::move(source)), &target);
    EXPECT_EQ(target.doHello(), 42);
}

} // namespace
