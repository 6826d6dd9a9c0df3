#pragma once

// The value types of the budget workbook: amounts of money, rates and text. Each is immutable
// once made, as every value on a pin must be.

#include <datagraph/IDataValue.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <typeinfo>

namespace budget {

template <typename Self, typename Stored> class Value : public datagraph::IDataValue {
public:
    explicit Value(Stored stored)
        : stored(std::move(stored)) {}

    std::unique_ptr<IDataValue> Clone() const override {
        return std::make_unique<Self>(static_cast<const Self&>(*this));
    }

    const std::type_info& GetType() const override { return typeid(Self); }

    const Stored& Get() const { return stored; }

private:
    Stored stored;
};

/// An amount in cents.
class Money : public Value<Money, long long> {
    using Value::Value;
};

/// A rate in percent.
class Rate : public Value<Rate, double> {
    using Value::Value;
};

class Text : public Value<Text, std::string> {
    using Value::Value;
};

inline std::shared_ptr<const Money> Cents(long long cents) {
    return std::make_shared<const Money>(cents);
}

inline std::string FormatMoney(long long cents) {
    const std::string sign = cents < 0 ? "-" : "";
    std::string whole = std::to_string(std::llabs(cents) / 100);
    for (auto at = static_cast<long>(whole.size()) - 3; at > 0; at -= 3) {
        whole.insert(static_cast<std::size_t>(at), ",");
    }
    const std::string fraction = std::to_string(100 + std::llabs(cents) % 100).substr(1);
    return sign + whole + "." + fraction;
}

inline std::string FormatRate(double percent) {
    const long long tenths = std::llround(percent * 10);
    return std::to_string(tenths / 10) + "." + std::to_string(std::llabs(tenths % 10)) + "%";
}

/// How a cell's value reads on screen and in the picture.
inline std::string Describe(const datagraph::IDataValue& value) {
    if (const auto* money = dynamic_cast<const Money*>(&value)) {
        return FormatMoney(money->Get());
    }
    if (const auto* rate = dynamic_cast<const Rate*>(&value)) {
        return FormatRate(rate->Get());
    }
    if (const auto* text = dynamic_cast<const Text*>(&value)) {
        return "\"" + text->Get() + "\"";
    }
    return "?";
}

} // namespace budget
