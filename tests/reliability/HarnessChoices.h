#pragma once

// The choices the operation generator shares between its files: the fixed pools of identifiers
// and a few ways of picking from them.

#include "ChoiceSource.h"
#include "ModelValues.h"

#include <datagraph/Foundation.h>

#include <boost/container/small_vector.hpp>

#include <algorithm>

#include <iterator>
#include <map>
#include <string>
#include <typeinfo>
#include <vector>

namespace datagraph::reliability {

struct Pools {
    std::vector<GUID> nodes;
    std::vector<GUID> pins;
    std::vector<GUID> subgraphs;
    std::map<GUID, std::string> names;
};

/// The same identifiers for every seed, so that a failing seed replays exactly.
const Pools& GetPools();

/// The few ids one generated function uses, kept without allocating.
class FewIds {
public:
    bool Contains(const GUID& id) const {
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    }

    /// False when the id was there already.
    bool Insert(const GUID& id) {
        if (Contains(id)) {
            return false;
        }
        ids.push_back(id);
        return true;
    }

private:
    boost::container::small_vector<GUID, 8> ids;
};

template <typename Container> auto PickFrom(ChoiceSource& choices, const Container& items) {
    auto item = items.begin();
    std::advance(item, choices.Below(static_cast<std::uint32_t>(items.size())));
    return *item;
}

inline ValueKind RandomKind(ChoiceSource& choices) {
    const std::uint32_t roll = choices.Below(100);
    return roll < 45 ? ValueKind::A : roll < 90 ? ValueKind::B : ValueKind::DerivedA;
}

inline ValueKind KindOf(const std::type_info& type) {
    if (type == TypeOf(ValueKind::A)) {
        return ValueKind::A;
    }
    return type == TypeOf(ValueKind::B) ? ValueKind::B : ValueKind::DerivedA;
}

inline ValueKind OtherKind(ValueKind kind) {
    return kind == ValueKind::B ? ValueKind::A : ValueKind::B;
}

/// A kind that the C++ type system relates to `kind` but that a pin of `kind` refuses.
inline ValueKind RelatedKind(ValueKind kind) {
    return kind == ValueKind::DerivedA ? ValueKind::A : ValueKind::DerivedA;
}

} // namespace datagraph::reliability
