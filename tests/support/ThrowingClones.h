#pragma once

// A node function and a value whose Clone() throws a HostError, for copies that fail part-way.

#include "StubFunction.h"
#include "TestValues.h"

#include <memory>

namespace datagraph::test {

class ThrowingCloneFunction : public StubFunction {
public:
    using StubFunction::StubFunction;

    std::shared_ptr<INodeFunction> Clone() const override {
        throw HostError("node function clone failed");
    }
};

/// An IntValue (accepted by int pins) that cannot be copied.
class ThrowingCloneValue : public IntValue {
public:
    using IntValue::IntValue;

    std::unique_ptr<IDataValue> Clone() const override { throw HostError("value clone failed"); }
};

} // namespace datagraph::test
