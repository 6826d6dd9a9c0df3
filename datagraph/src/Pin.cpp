#include <datagraph/Pin.h>

#include "Checks.h"
#include "history/HistoryLog.h"
#include "store/GraphStore.h"

#include <utility>

namespace datagraph {
namespace {

// A value's GetType() is host code, and may destroy the very pin that asked it (by destroying the
// pin's node). Each SetData waiting on it is listed here, innermost first, so that a pin's
// destructor can tell the waiting call that its pin is gone.
struct PendingWrite {
    const Pin* pin;
    bool pinDestroyed;
    PendingWrite* outer;
};

thread_local PendingWrite* pendingWrites = nullptr;

// False for a pin that an edit history keeps out of its graph: it is nobody's to follow.
bool RecordHostWrite(GraphStore::PinRecord& pin, const std::shared_ptr<const IDataValue>& previous,
                     bool wasMarked) {
    GraphStore& store = GraphStore::StoreOf(pin);
    if (store.History() == nullptr) {
        return true;
    }
    if (!store.Holds(pin)) {
        return false;
    }
    if (EditHistory::Impl* history = EditHistory::Impl::ForWrite(store)) {
        GraphStore::Toggles::HostWrote(*history, pin, previous, wasMarked);
    }
    return true;
}

class PendingWriteScope {
public:
    // The list's head is looked up once per write: in a shared library each lookup of a
    // thread_local is a call.
    explicit PendingWriteScope(const Pin& pin)
        : head(pendingWrites)
        , write{&pin, false, head} {
        head = &write;
    }

    PendingWriteScope(const PendingWriteScope&) = delete;
    PendingWriteScope& operator=(const PendingWriteScope&) = delete;

    ~PendingWriteScope() { head = write.outer; }

    bool PinDestroyed() const { return write.pinDestroyed; }

private:
    PendingWrite*& head;
    PendingWrite write;
};

} // namespace

Pin::Pin(const std::type_info& dataType, const GUID& id)
    : dataType(dataType)
    , updatedData(false)
    , id(id) {}

Pin::Pin(const Pin& other)
    : ITraversablePin(other)
    , dataType(other.dataType)
    , updatedData(other.updatedData)
    , id(other.id) {
    if (std::shared_ptr<const IDataValue> value = other.GetData()) {
        data = value->Clone();
    }
}

Pin::~Pin() {
    for (PendingWrite* write = pendingWrites; write != nullptr; write = write->outer) {
        if (write->pin == this) {
            write->pinDestroyed = true;
        }
    }
}

GUID Pin::GetId() const {
    return id;
}

const std::type_info& Pin::GetDataType() const {
    return dataType;
}

std::shared_ptr<const IDataValue> Pin::GetData() const {
    return data;
}

void Pin::SetData(std::shared_ptr<const IDataValue> value) {
    // The previous value dies last: its destructor is host code that may destroy this pin.
    const bool wasMarked = updatedData;
    const std::shared_ptr<const IDataValue> previous = Replace(std::move(value));
    if (record != nullptr) {
        auto& pinRecord = static_cast<GraphStore::PinRecord&>(*record);
        if (!RecordHostWrite(pinRecord, previous, wasMarked)) {
            return;
        }
        GraphStore::NoteHostWrote(pinRecord).NotifyHostWrote(pinRecord, true);
    }
}

std::shared_ptr<const IDataValue> Pin::Replace(std::shared_ptr<const IDataValue> value) {
    CheckThat(value != nullptr, "Data value cannot be null");
    {
        PendingWriteScope scope(*this);
        const std::type_info& expected = dataType;
        const bool typeMatches = value->GetType() == expected;
        CheckThat(!scope.PinDestroyed(), "The pin was destroyed while its new value was checked.");
        CheckThat(typeMatches, "Data value has incorrect type");
    }
    std::shared_ptr<const IDataValue> previous = std::exchange(data, std::move(value));
    updatedData = true;
    return previous;
}

bool Pin::HasUpdatedData() const {
    return updatedData;
}

void Pin::SetUpdatedData(bool updated) {
    const bool wasMarked = std::exchange(updatedData, updated);
    if (record != nullptr) {
        auto& pinRecord = static_cast<GraphStore::PinRecord&>(*record);
        if (!RecordHostWrite(pinRecord, data, wasMarked)) {
            return;
        }
        GraphStore::NoteHostWrote(pinRecord).NotifyHostWrote(pinRecord, false);
    }
}

} // namespace datagraph
