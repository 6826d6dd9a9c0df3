#pragma once

// The execution rules, written once: what running a node reads and writes, and how values move
// along the links afterwards. Node::Execute, the graph's own traversal and
// NodeExecutingGraphTraverser all go through these.

#include <datagraph/Graph.h>
#include <datagraph/INodeFunction.h>

#include "Hidden.h"
#include "Prefetch.h"
#include "store/GraphStore.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace datagraph {

/// Whether every linked input pin of the node carries the updated-data mark.
inline bool InputsAreReady(const GraphStore::NodeRecord& node) {
    for (const GraphStore::PinRecord* pin : node.InputPins()) {
        if (pin->Upstream() != nullptr && !GraphStore::IsMarked(*pin)) {
            return false;
        }
    }
    return true;
}

/// Every input pin holding a value, linked or not; marks are neither read nor changed.
DATAGRAPH_HIDDEN DataMap GatherInputs(const GraphStore::NodeRecord& node);

/// The input maps of one traversal, kept from one execution to the next so that running a node
/// allocates no map: each map keeps its buckets, and the entries of one execution serve the
/// next. A node of n input pins gets a map of the bucket count that a new map reserved for n
/// entries has, filled in the same order, so that its function sees the same map, in the same
/// iteration order, as with a map of its own. Each traversal has its own: an ubernode's inner
/// traversal runs while the outer one's map is still in its function's hands.
class DATAGRAPH_HIDDEN InputMaps {
public:
    InputMaps() = default;
    InputMaps(const InputMaps&) = delete;
    InputMaps& operator=(const InputMaps&) = delete;

    /// The node's inputs, as GatherInputs makes them, held until the guard goes.
    class Gathered {
    public:
        Gathered(InputMaps& maps, const GraphStore::NodeRecord& node)
            : maps(maps)
            , map(maps.Gather(node)) {}

        Gathered(const Gathered&) = delete;
        Gathered& operator=(const Gathered&) = delete;

        /// The values go at once, as a map of the node's own would: the entries stay for the next
        /// execution, empty.
        ~Gathered() { maps.Release(map); }

        const DataMap& Map() const { return map; }

    private:
        InputMaps& maps;
        DataMap& map;
    };

private:
    using Entry = DataMap::node_type;

    DataMap& Gather(const GraphStore::NodeRecord& node);
    void Release(DataMap& map) noexcept;
    /// The map for nodes of `pins` input pins, empty and of the bucket count a new map has.
    DataMap& MapFor(std::size_t pins);

    struct Map {
        std::size_t buckets;
        DataMap map;
    };

    std::vector<std::unique_ptr<Map>> maps; // one per bucket count met
    std::vector<std::uint32_t> mapForPins;  // by input pin count: 1 + the index in `maps`, or 0
    std::vector<Entry> spare;               // entries taken out of the maps, without a value
    std::size_t entries = 0;                // made so far, in the maps or spare
};

/// Writes each output to the output pin of its id of the node `nodeId`, one entry at a time: a
/// refused entry leaves the entries before it applied. `node` is the node's record while the
/// caller knows it to be current, else null; a write that edits the graph (a value's GetType()
/// may) makes the rest look the node up again.
DATAGRAPH_HIDDEN void WriteOutputs(Graph& graph, const GraphStore::NodeRecord* node,
                                   const GUID& nodeId, const DataMap& outputs);

/// Calls the function with the values on its node's input pins and writes its outputs. The
/// function may destroy its own node, or replace the graph's records, while it runs; `node` is
/// as for WriteOutputs.
/// A traversal passes its own `inputs`; without them, the node gets a map of its own.
DATAGRAPH_HIDDEN void RunNodeFunction(Graph& graph, std::shared_ptr<INodeFunction> function,
                                      const GraphStore::NodeRecord* node,
                                      InputMaps* inputs = nullptr);

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

        bool HasUpdatedData() const { return GraphStore::IsMarked(record); }

        std::shared_ptr<const IDataValue> GetData() const { return GraphStore::ValueOf(record); }

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

    /// Asks for the pins, and then their nodes' records, that the moves a few links further along
    /// write: the pins of a wide fan-out lie all over the heap. Called while the handles hold.
    void LookAhead(const GraphStore::PinList& links, std::size_t position) const {
        constexpr std::size_t pinDistance = 16;
        constexpr std::size_t ownerDistance = 8;
        if (position == 0) {
            for (std::size_t k = 0; k < std::min(links.size(), pinDistance); ++k) {
                Prefetch(links[k]);
            }
        }
        if (position + pinDistance < links.size()) {
            Prefetch(links[position + pinDistance]);
        }
        if (position + ownerDistance < links.size()) {
            Prefetch(&links[position + ownerDistance]->Owner());
        }
    }

    // A record's first two cache lines.
    static void Prefetch(const void* record) { PrefetchLines(record, 2); }
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
        const auto& links = pins.DownstreamOf(output);
        std::size_t position = 0;
        for (const auto& downstream : links) {
            pins.LookAhead(links, position++);
            pins.PinOf(downstream).SetData(value);
            if (!pins.StillCurrent()) {
                return false;
            }
        }
    }
    return true;
}

} // namespace datagraph
