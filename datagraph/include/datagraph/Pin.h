#pragma once

// One input or output pin of a node: an identifier, the exact type of the values it accepts,
// its current value (shared and immutable) and the updated-data mark. Owned by its graph.

#include <datagraph/Foundation.h>
#include <datagraph/IDataValue.h>
#include <datagraph/ITraversablePin.h>

#include <memory>
#include <typeinfo>

namespace datagraph {

/// @brief One input or output pin of a node: an identifier, the exact type of the values it
/// accepts, its current value (shared and immutable) and the updated-data mark.
///
/// Owned by its graph.
class DATAGRAPH_API Pin : public ITraversablePin {
public:
    Pin(const std::type_info& dataType, const GUID& id);
    /// Copies the type, id and mark, and holds a Clone() of the other pin's value.
    Pin(const Pin& other);
    Pin& operator=(const Pin&) = delete;
    ~Pin() override;

    GUID GetId() const;
    const std::type_info& GetDataType() const;

    std::shared_ptr<const IDataValue> GetData() const override;
    void SetData(std::shared_ptr<const IDataValue> data) override;
    bool HasUpdatedData() const override;
    void SetUpdatedData(bool updatedData) override;

private:
    friend class GraphStore; // a graph's own traversal writes without counting it as an edit

    // Where a graph keeps the pin; null for a pin of the host's own.
    class Record;

    /// Checks and stores the value and sets the mark; returns the previous value, whose
    /// destructor (host code) the caller runs once the graph's records agree again.
    std::shared_ptr<const IDataValue> Replace(std::shared_ptr<const IDataValue> value);

    const std::type_info& dataType;
    std::shared_ptr<const IDataValue> data;
    bool updatedData;
    GUID id;
    Record* record = nullptr; // set by the graph's record that holds the pin, never copied
};

} // namespace datagraph
