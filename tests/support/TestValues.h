#pragma once

// Value types for tests. Every value counts its clones in a shared counter so that tests can see
// exactly which values a copy touched.

#include <datagraph/IDataValue.h>

#include <memory>
#include <string>
#include <typeinfo>

namespace datagraph::test {

struct CallCounter {
    int clones = 0;
    int getTypes = 0;
};

template <typename T, typename Tag> class BasicValue : public IDataValue {
public:
    explicit BasicValue(T value, std::shared_ptr<CallCounter> counter = nullptr)
        : value(std::move(value))
        , counter(std::move(counter)) {}

    std::unique_ptr<IDataValue> Clone() const override {
        if (counter) {
            ++counter->clones;
        }
        return std::make_unique<BasicValue>(value, counter);
    }

    const std::type_info& GetType() const override {
        if (counter) {
            ++counter->getTypes;
        }
        return typeid(BasicValue);
    }

    const T& Get() const { return value; }

private:
    T value;
    std::shared_ptr<CallCounter> counter;
};

struct IntTag {};

struct DoubleTag {};

struct TextTag {};

using IntValue = BasicValue<int, IntTag>;
using DoubleValue = BasicValue<double, DoubleTag>;
using TextValue = BasicValue<std::string, TextTag>;

/// Derives from IntValue but reports its own type, which an int pin must refuse.
class DerivedIntValue : public IntValue {
public:
    using IntValue::IntValue;

    const std::type_info& GetType() const override { return typeid(DerivedIntValue); }
};

inline std::shared_ptr<const IDataValue> Int(int value) {
    return std::make_shared<const IntValue>(value);
}

inline std::shared_ptr<const IDataValue> Double(double value) {
    return std::make_shared<const DoubleValue>(value);
}

inline std::shared_ptr<const IDataValue> Text(std::string value) {
    return std::make_shared<const TextValue>(std::move(value));
}

/// The int carried by a value that must be an IntValue.
inline int IntOf(const std::shared_ptr<const IDataValue>& value) {
    return dynamic_cast<const IntValue&>(*value).Get();
}

} // namespace datagraph::test
