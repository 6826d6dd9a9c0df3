// TraverseChanged: the nodes the store lists as changed, taken in the order's sequence. Executing
// one lists the nodes whose inputs it changed, further along the order, so a run follows the
// change and never looks at the rest of the graph. A node function that edits the structure
// makes the records stale; the rest of the run then walks the order as it stood, as Traverse
// does, leaving alone each node the store still knows to be up to date.

#include "run/ChangedTraversal.h"

#include "run/NodeRun.h"
#include "run/TraversalLoop.h"
#include "run/TraversalPlan.h"

#include <kescoreplatform/KLog.h>

#include <algorithm>
#include <chrono>

namespace datagraph {
namespace {

using NodeRecord = GraphStore::NodeRecord;
using PinRecord = GraphStore::PinRecord;
using Clock = std::chrono::steady_clock;

// A heap with the earliest node of the order on top.
struct LaterInOrder {
    bool operator()(const NodeRecord* a, const NodeRecord* b) const {
        return a->orderPosition > b->orderPosition;
    }
};

void LogFailure() {
    LogMessage(KLog::Info,
               KFormatString(L"Caught non-fatal graph exception when traversing the graph"));
}

// The rest of a run whose records went stale: the order as it stood, through the interface.
class RestOfChangedRun : public InterfaceSteps {
public:
    RestOfChangedRun(Graph& graph, IdentifierList order, IdentifierSet members)
        : InterfaceSteps(graph, std::move(order), std::move(members))
        , store(GraphStore::Of(graph)) {}

    bool MayBeLeftAsItIs(std::size_t i) const {
        const NodeRecord* node = store.FindNode(Id(i));
        return node != nullptr && node->IsUpToDate() && !node->HasMovesPending();
    }

private:
    const GraphStore& store;
};

class ChangedRun {
public:
    ChangedRun(Graph& graph, const GUID& executionSubgraph, ITraversalObserver* observer)
        : graph(graph)
        , store(GraphStore::Of(graph))
        , observer(observer)
        , plan(store.PlanTraversal(executionSubgraph))
        , version(plan->order->version) {}

    ChangedRun(const ChangedRun&) = delete;
    ChangedRun& operator=(const ChangedRun&) = delete;

    // Whatever the run did not get to stays listed for the next one.
    ~ChangedRun() {
        store.ReturnChangedNodes(heap);
        store.ReturnChangedNodes(later);
    }

    void Run() {
        store.TakeChangedNodes(plan->executionSubgraph, heap);
        std::make_heap(heap.begin(), heap.end(), LaterInOrder());
        while (!heap.empty()) {
            if (!RecordsAreCurrent()) {
                RunRestAsTraverse();
                return;
            }
            std::pop_heap(heap.begin(), heap.end(), LaterInOrder());
            NodeRecord& node = *heap.back();
            heap.pop_back();
            store.MarkChangedNodeDone(node);
            const std::uint32_t position = node.orderPosition;
            lastPosition = position;
            Visit(node, position);
            TakeUpNewlyChanged(position);
        }
    }

private:
    bool RecordsAreCurrent() const { return store.StructureVersion() == version; }

    void Visit(NodeRecord& node, std::uint32_t position) {
        const GUID nodeId = node.Id();
        switch (plan->roles[position]) {
        case TraversalRole::OutsideSubgraph:
            SetAside(node, nodeId, SkipReason::OutsideExecutionSubgraph);
            return;
        case TraversalRole::Unconnected:
            SetAside(node, nodeId, SkipReason::Unconnected);
            return;
        case TraversalRole::RunsOnceInputsAreReady:
            break;
        }
        if (!InputsAreReady(node)) {
            SetAside(node, nodeId, SkipReason::InputsNotReady);
            return;
        }
        if (node.IsUpToDate()) {
            MovePendingValues(node, nodeId);
            return;
        }
        const Clock::time_point started = observer ? Clock::now() : Clock::time_point();
        try {
            TrackedExecution execution(store, &node);
            RunNodeFunction(graph, node.Function(), &node, &inputs);
            execution.Ran();
            MoveAllValues(nodeId, RecordsAreCurrent() ? &node : nullptr);
            execution.Succeeded();
        } catch (const GraphException& failure) {
            Failed(nodeId, failure);
            return;
        }
        if (observer) {
            observer->NodeRan(nodeId, Clock::now() - started);
        }
    }

    void SetAside(NodeRecord& node, const GUID& nodeId, SkipReason reason) {
        store.ParkChangedNode(node);
        if (observer) {
            observer->NodeSkipped(nodeId, reason,
                                  reason == SkipReason::InputsNotReady
                                      ? UnmarkedLinkedInputPins(node)
                                      : IdentifierSet());
        }
    }

    void Failed(const GUID& nodeId, const GraphException& failure) {
        LogFailure();
        if (observer) {
            observer->NodeFailed(nodeId, failure.what());
        }
    }

    static IdentifierSet UnmarkedLinkedInputPins(const NodeRecord& node) {
        IdentifierSet unmarked;
        for (const PinRecord* pin : node.InputPins()) {
            if (pin->Upstream() != nullptr && !pin->Object().Pin::HasUpdatedData()) {
                unmarked.insert(pin->Id());
            }
        }
        return unmarked;
    }

    // As a traversal moves them after a node ran.
    void MoveAllValues(const GUID& nodeId, const NodeRecord* node) {
        if (node != nullptr) {
            RecordPins pins{store, version};
            if (datagraph::MoveDataDownstream(pins, node)) {
                return;
            }
        }
        // A value's GetType() edited the graph: the move starts over through the interface.
        InterfaceSteps(graph, {}, {}).MoveDataDownstream(nodeId);
    }

    // An up-to-date node's outputs reach the linked pins that do not hold them yet.
    void MovePendingValues(NodeRecord& node, const GUID& nodeId) {
        if (!node.HasMovesPending()) {
            return;
        }

        struct StillPending {
            GraphStore& store;
            const NodeRecord* node;
            GUID nodeId;
            std::uint64_t version;
            bool done = false;

            ~StillPending() {
                if (!done) {
                    store.KeepMovesPending(nodeId, node, version);
                }
            }
        } pending{store, &node, nodeId, version};

        store.ClearMovesPending(node);
        try {
            for (PinRecord* output : node.OutputPins()) {
                if (!output->Object().Pin::HasUpdatedData()) {
                    continue;
                }
                const std::shared_ptr<const IDataValue> value = output->Object().Pin::GetData();
                for (PinRecord* downstream : output->Downstream()) {
                    if (value != nullptr && GraphStore::HoldsWithMark(*downstream, *value)) {
                        continue;
                    }
                    store.MoveInto(*downstream, value);
                    if (!RecordsAreCurrent()) {
                        // The rest starts over as a traversal would move it.
                        InterfaceSteps(graph, {}, {}).MoveDataDownstream(nodeId);
                        pending.done = true;
                        return;
                    }
                }
            }
        } catch (const GraphException& failure) {
            Failed(nodeId, failure);
            return;
        }
        pending.done = true;
    }

    // Nodes listed while the node at `position` ran: those further along are this run's, the
    // others wait for the next run.
    void TakeUpNewlyChanged(std::uint32_t position) {
        if (!RecordsAreCurrent()) {
            return;
        }
        const std::size_t before = heap.size();
        store.TakeChangedNodesSince(position, heap, later);
        for (std::size_t i = before + 1; i <= heap.size(); ++i) {
            std::push_heap(heap.begin(), heap.begin() + static_cast<std::ptrdiff_t>(i),
                           LaterInOrder());
        }
    }

    void RunRestAsTraverse() {
        heap.clear(); // stale records: the store makes its lists again from the records
        later.clear();
        const IdentifierList& ids = plan->order->ids;
        IdentifierSet members;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (plan->roles[i] != TraversalRole::OutsideSubgraph) {
                members.insert(ids[i]);
            }
        }
        IdentifierList rest(ids.begin() + static_cast<std::ptrdiff_t>(lastPosition + 1), ids.end());
        RestOfChangedRun steps(graph, std::move(rest), std::move(members));
        RunTraversal(steps, observer);
    }

    Graph& graph;
    GraphStore& store;
    ITraversalObserver* const observer;
    const std::shared_ptr<const GraphStore::TraversalPlan> plan;
    const std::uint64_t version;
    std::vector<NodeRecord*> heap;
    std::vector<NodeRecord*> later;
    std::uint32_t lastPosition = 0;
    InputMaps inputs;
};

} // namespace

void RunChangedTraversal(Graph& graph, const GUID& executionSubgraph,
                         ITraversalObserver* observer) {
    ChangedRun run(graph, executionSubgraph, observer);
    run.Run();
}

} // namespace datagraph
