#include <datagraph/Graph.h>

#include "Checks.h"
#include "history/HistoryLog.h"
#include "store/GraphStore.h"

namespace datagraph {

Graph::Graph(const Graph& other)
    : IEditableGraph(other)
    , ITraversableGraph(other)
    , store(other.store->DeepCopy(*this)) {}

Graph& Graph::operator=(const Graph& other) {
    if (this == &other) {
        return *this;
    }
    // A copy of this graph is on the stack (a host's Clone() is assigning to its source): its
    // records must stay where they are until it ends.
    CheckThat(!store->CopyInProgress(), "The graph was changed while it was being copied.");

    std::unique_ptr<GraphStore> copy = other.store->DeepCopy(*this);
    EditHistory::Impl* history = EditHistory::Impl::ForStructuralEdit(*store);
    if (history != nullptr) {
        history->Reserve();
    }
    copy->TakeOverFrom(*store);
    // The previous records are released without Clear: an old node or pin lives on only while
    // somebody else holds it, the history included.
    std::swap(store, copy);
    if (history != nullptr) {
        history->Commit(GraphStore::Toggles::Assignment::Keep(std::move(copy)));
    }
    if (IGraphEditObserver* observer = store->EditObserver()) {
        observer->GraphAssigned();
    }
    return *this;
}

} // namespace datagraph
