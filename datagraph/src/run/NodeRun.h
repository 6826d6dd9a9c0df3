#pragma once

// The execution rules, written once: what running a node reads and writes, and how values move
// along the links afterwards. Node::Execute, the graph's own traversal and
// NodeExecutingGraphTraverser all go through these.

#include <datagraph/Graph.h>
#include <datagraph/INodeFunction.h>

#include "Hidden.h"
#include "store/GraphStore.h"

#include <memory>

namespace datagraph {

/// Whether every linked input pin of the node carries the updated-data mark.
inline bool InputsAreReady(const GraphStore::NodeRecord& node) {
    for (const GraphStore::PinRecord* pin : node.InputPins()) {
        if (pin->Upstream() != nullptr && !pin->Object().Pin::HasUpdatedData()) {
            return false;
        }
    }
    return true;
}

/// Every input pin holding a value, linked or not; marks are neither read nor changed.
DATAGRAPH_HIDDEN DataMap GatherInputs(const GraphStore::NodeRecord& node);

/// Writes each output to the output pin of its id of the node `nodeId`, one entry at a time: a
/// refused entry leaves the entries before it applied. `node` is the node's record while the
/// caller knows it to be current, else null; a write that edits the graph (a value's GetType()
/// may) makes the rest look the node up again.
DATAGRAPH_HIDDEN void WriteOutputs(Graph& graph, const GraphStore::NodeRecord* node,
                                   const GUID& nodeId, const DataMap& outputs);

/// Calls the function with the values on its node's input pins and writes its outputs. The
/// function may destroy its own node, or replace the graph's records, while it runs; `node` is
/// as for WriteOutputs.
DATAGRAPH_HIDDEN void RunNodeFunction(Graph& graph, std::shared_ptr<INodeFunction> function,
                                      const GraphStore::NodeRecord* node);

/// A traversal of the node's own graph executing it, from the start of the run to the end of its
/// moves: the node is up to date afterwards unless the run failed, or the graph's structure or
/// something the node depends on changed meanwhile; when only the moves failed, they stay
/// pending. A null record tracks nothing.
class DATAGRAPH_HIDDEN TrackedExecution {
public:
    TrackedExecution(GraphStore& store, const GraphStore::NodeRecord* node)
        : store(store)
        , node(node)
        , version(store.StructureVersion()) {
        if (node != nullptr) {
            nodeId = node->Id();
            store.StartTrackedExecution(*node);
        }
    }

    TrackedExecution(const TrackedExecution&) = delete;
    TrackedExecution& operator=(const TrackedExecution&) = delete;

    /// Unless Succeeded() said otherwise, the run or its moves failed: raises nothing.
    ~TrackedExecution() {
        if (node != nullptr && !finished) {
            store.FinishTrackedExecution(nodeId, node, version, ran, false, false);
        }
    }

    /// The function ran and its outputs are written.
    void Ran() { ran = true; }

    /// Its values moved, too. An ubernode then watches its inner graphs, which may fail for want
    /// of memory: that leaves the node not up to date and raises std::bad_alloc.
    void Succeeded() {
        finished = true;
        if (node != nullptr) {
            store.FinishTrackedExecution(nodeId, node, version, ran, true, true);
        }
    }

private:
    GraphStore& store;
    const GraphStore::NodeRecord* node;
    GUID nodeId;
    std::uint64_t version;
    bool ran = false;
    bool finished = false;
};

/// The moving rule over a graph's records: a record holds a Pin itself, so its calls need no
/// virtual dispatch, and each move goes through the store's bookkeeping.
struct DATAGRAPH_HIDDEN RecordPins {
    GraphStore& store;
    std::uint64_t version; // the handles hold while the structure is at this version

    struct Pin {
        GraphStore& store;
        GraphStore::PinRecord& record;

        bool HasUpdatedData() const { return record.Object().datagraph::Pin::HasUpdatedData(); }

        std::shared_ptr<const IDataValue> GetData() const {
            return record.Object().datagraph::Pin::GetData();
        }

        void SetData(std::shared_ptr<const IDataValue> value) {
            store.MoveInto(record, std::move(value));
        }
    };

    const GraphStore::PinList& OutputPinsOf(const GraphStore::NodeRecord* node) const {
        return node->OutputPins();
    }

    Pin PinOf(GraphStore::PinRecord* pin) const { return Pin{store, *pin}; }

    const GraphStore::PinList& DownstreamOf(GraphStore::PinRecord* pin) const {
        return pin->Downstream();
    }

    bool StillCurrent() const { return store.StructureVersion() == version; }
};

/// After a node ran: every output pin of it that carries the updated-data mark gives its value
/// to each pin linked downstream of it. `pins` answers for one kind of pin handle; the move
/// stops, returning false, as soon as `pins.StillCurrent()` says the handles may be stale.
template <typename Pins, typename NodeHandle>
bool MoveDataDownstream(Pins& pins, const NodeHandle& node) {
    for (const auto& output : pins.OutputPinsOf(node)) {
        auto&& outputPin = pins.PinOf(output);
        if (!outputPin.HasUpdatedData()) {
            continue;
        }
        const std::shared_ptr<const IDataValue> value = outputPin.GetData();
        for (const auto& downstream : pins.DownstreamOf(output)) {
            pins.PinOf(downstream).SetData(value);
            if (!pins.StillCurrent()) {
                return false;
            }
        }
    }
    return true;
}

} // namespace datagraph
