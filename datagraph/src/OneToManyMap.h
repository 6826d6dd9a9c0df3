#pragma once

// A relation in which every value belongs to exactly one key and a key has any number of values,
// indexed both ways. A key's values keep the order in which they were added.

#include <datagraph/Foundation.h>

#include <map>
#include <unordered_map>

namespace datagraph {

class OneToManyMap {
public:
    void Add(const GUID& key, const GUID& value);
    bool HasKey(const GUID& key) const;
    bool HasValue(const GUID& value) const;
    GUID GetKey(const GUID& value) const;
    /// Empty for a key without values.
    IdentifierSet GetValues(const GUID& key) const;
    void RemoveValue(const GUID& value);
    void RemoveKey(const GUID& key);
    /// True when neither side holds anything.
    bool IsEmpty() const;

    const std::multimap<GUID, GUID>& GetKeyToValues() const { return keyToValues; }

private:
    std::multimap<GUID, GUID> keyToValues;
    std::unordered_map<GUID, GUID, boost::hash<GUID>, std::equal_to<GUID>> valueToKey;
};

} // namespace datagraph
