#pragma once

// The value types of the budget workbook: amounts of money, rates and text, plain C++ types that
// travel on the pins inside datagraph::Value, and how each reads on screen.

#include <datagraph/IDataValue.h>
#include <datagraph/Value.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace budget {

/// An amount in cents.
struct Money {
    long long cents;
};

/// A rate in percent.
struct Rate {
    double percent;
};

/// A text typed in or made by a formula.
struct Text {
    std::string text;
};

inline Money Cents(long long cents) {
    return Money{cents};
}

inline std::string FormatMoney(Money money) {
    const long long cents = money.cents;
    const std::string sign = cents < 0 ? "-" : "";
    std::string whole = std::to_string(std::llabs(cents) / 100);
    for (auto at = static_cast<long>(whole.size()) - 3; at > 0; at -= 3) {
        whole.insert(static_cast<std::size_t>(at), ",");
    }
    const std::string fraction = std::to_string(100 + std::llabs(cents) % 100).substr(1);
    return sign + whole + "." + fraction;
}

inline std::string FormatRate(Rate rate) {
    const long long tenths = std::llround(rate.percent * 10);
    return std::to_string(tenths / 10) + "." + std::to_string(std::llabs(tenths % 10)) + "%";
}

/// How a cell's value reads on screen and in the picture.
inline std::string Describe(const datagraph::IDataValue& value) {
    if (const auto* money = dynamic_cast<const datagraph::Value<Money>*>(&value)) {
        return FormatMoney(money->Get());
    }
    if (const auto* rate = dynamic_cast<const datagraph::Value<Rate>*>(&value)) {
        return FormatRate(rate->Get());
    }
    if (const auto* text = dynamic_cast<const datagraph::Value<Text>*>(&value)) {
        return "\"" + text->Get().text + "\"";
    }
    return "?";
}

} // namespace budget
