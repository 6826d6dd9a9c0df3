#include "OneToManyMap.h"

namespace datagraph {

void OneToManyMap::Add(const GUID& key, const GUID& value) {
    GraphAssert(!HasValue(value));

    valueToKey.emplace(value, key);
    keyToValues.emplace(key, value); // lands after equal keys: a key's values keep insertion order
}

bool OneToManyMap::HasKey(const GUID& key) const {
    return keyToValues.count(key) != 0;
}

bool OneToManyMap::HasValue(const GUID& value) const {
    return valueToKey.count(value) != 0;
}

GUID OneToManyMap::GetKey(const GUID& value) const {
    auto found = valueToKey.find(value);
    GraphAssert(found != valueToKey.end());

    return found->second;
}

IdentifierSet OneToManyMap::GetValues(const GUID& key) const {
    IdentifierSet values;
    auto range = keyToValues.equal_range(key);
    for (auto entry = range.first; entry != range.second; ++entry) {
        values.insert(entry->second);
    }
    GraphAssert(range.first == range.second || !values.empty());
    return values;
}

void OneToManyMap::RemoveValue(const GUID& value) {
    GUID key = GetKey(value);

    valueToKey.erase(value);
    auto range = keyToValues.equal_range(key);
    for (auto entry = range.first; entry != range.second; ++entry) {
        if (entry->second == value) {
            keyToValues.erase(entry);
            break;
        }
    }
    GraphAssert(valueToKey.size() == keyToValues.size());
}

void OneToManyMap::RemoveKey(const GUID& key) {
    GraphAssert(HasKey(key));

    auto range = keyToValues.equal_range(key);
    for (auto entry = range.first; entry != range.second;) {
        GraphAssert(valueToKey.erase(entry->second) == 1);
        entry = keyToValues.erase(entry);
    }
    GraphAssert(!HasKey(key) && valueToKey.size() == keyToValues.size());
}

bool OneToManyMap::IsEmpty() const {
    return keyToValues.empty() && valueToKey.empty();
}

} // namespace datagraph
