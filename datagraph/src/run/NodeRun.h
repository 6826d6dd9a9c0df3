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
