#pragma once

// The values of the reliability suites: three kinds that differ only in their run-time type, one
// of them derived from another, each carrying an int so that a clone can be told from a stranger,
// and a serial number of its own, so that an object is told from its copy even at a reused
// address. Clone and GetType are counted by the fault plan.

#include "FaultPlan.h"

#include <datagraph/IDataValue.h>

#include <functional>
#include <memory>
#include <typeinfo>

namespace datagraph::reliability {

enum class ValueKind { A, B, DerivedA };

/// The run-time type of a value of the kind.
inline const std::type_info& TypeOf(ValueKind kind);

class ModelValue : public IDataValue {
public:
    explicit ModelValue(int content)
        : content(content)
        , serial(++Serials()) {
        ++LiveCount();
    }

    ModelValue(const ModelValue& other)
        : IDataValue(other)
        , content(other.content)
        , serial(++Serials()) {
        ++LiveCount();
    }

    ModelValue& operator=(const ModelValue&) = delete;

    ~ModelValue() override { --LiveCount(); }

    /// Values alive right now: a scenario that ends with more than it began with leaked some.
    static long& LiveCount() {
        static long live = 0;
        return live;
    }

    std::unique_ptr<IDataValue> Clone() const final {
        FaultPlan::Hit();
        return CloneSelf();
    }

    /// The type of the value's kind; a hostile value runs host code first.
    const std::type_info& GetType() const final {
        FaultPlan::Hit();
        TypeAsked();
        return TypeOf(Kind());
    }

    int Content() const { return content; }

    long Serial() const { return serial; }

    virtual ValueKind Kind() const = 0;

private:
    virtual std::unique_ptr<IDataValue> CloneSelf() const = 0;

    virtual void TypeAsked() const {}

    static long& Serials() {
        static long serials = 0;
        return serials;
    }

    int content;
    long serial;
};

class ValueA : public ModelValue {
public:
    using ModelValue::ModelValue;

    ValueKind Kind() const override { return ValueKind::A; }

private:
    std::unique_ptr<IDataValue> CloneSelf() const override {
        return std::make_unique<ValueA>(Content());
    }
};

class ValueB : public ModelValue {
public:
    using ModelValue::ModelValue;

    ValueKind Kind() const override { return ValueKind::B; }

private:
    std::unique_ptr<IDataValue> CloneSelf() const override {
        return std::make_unique<ValueB>(Content());
    }
};

/// An A in C++ terms, but a pin of type A must refuse it: only the exact type passes.
class DerivedValueA : public ValueA {
public:
    using ValueA::ValueA;

    ValueKind Kind() const override { return ValueKind::DerivedA; }

private:
    std::unique_ptr<IDataValue> CloneSelf() const override {
        return std::make_unique<DerivedValueA>(Content());
    }
};

inline const std::type_info& TypeOf(ValueKind kind) {
    switch (kind) {
    case ValueKind::A:
        return typeid(ValueA);
    case ValueKind::B:
        return typeid(ValueB);
    case ValueKind::DerivedA:
        break;
    }
    return typeid(DerivedValueA);
}

inline std::shared_ptr<const IDataValue> MakeValue(ValueKind kind, int content) {
    switch (kind) {
    case ValueKind::A:
        return std::make_shared<const ValueA>(content);
    case ValueKind::B:
        return std::make_shared<const ValueB>(content);
    case ValueKind::DerivedA:
        break;
    }
    return std::make_shared<const DerivedValueA>(content);
}

inline std::unique_ptr<IDataValue> MakeUniqueValue(ValueKind kind, int content) {
    switch (kind) {
    case ValueKind::A:
        return std::make_unique<ValueA>(content);
    case ValueKind::B:
        return std::make_unique<ValueB>(content);
    case ValueKind::DerivedA:
        break;
    }
    return std::make_unique<DerivedValueA>(content);
}

/// A value of any kind that runs host code the first time its type is asked for, and again when
/// it dies; either may edit the graph that holds it. Its clones are plain values.
class HostileValue : public ModelValue {
public:
    HostileValue(ValueKind kind, int content, std::function<void()> onFirstTypeCheck,
                 std::function<void()> onDestroy)
        : ModelValue(content)
        , kind(kind)
        , onFirstTypeCheck(std::move(onFirstTypeCheck))
        , onDestroy(std::move(onDestroy)) {}

    ~HostileValue() override {
        if (onDestroy) {
            onDestroy();
        }
    }

    ValueKind Kind() const override { return kind; }

private:
    std::unique_ptr<IDataValue> CloneSelf() const override {
        return MakeUniqueValue(kind, Content());
    }

    void TypeAsked() const override {
        if (onFirstTypeCheck) {
            std::function<void()> once = std::move(onFirstTypeCheck);
            onFirstTypeCheck = nullptr;
            once();
        }
    }

    ValueKind kind;
    mutable std::function<void()> onFirstTypeCheck;
    std::function<void()> onDestroy;
};

/// The value as the suites' own type; null for an empty pointer or a foreign value.
inline const ModelValue* AsModelValue(const IDataValue* value) {
    return dynamic_cast<const ModelValue*>(value);
}

} // namespace datagraph::reliability
