#include "history/HistoryLog.h"

#include "Checks.h"

#include <datagraph/Graph.h>
#include <datagraph/UbernodeNodeFunction.h>

#include <algorithm>
#include <utility>

namespace datagraph {

namespace {

template <typename... Visits> struct Overloaded : Visits... { using Visits::operator()...; };

template <typename... Visits> Overloaded(Visits...) -> Overloaded<Visits...>;

} // namespace

// The public face.

EditHistory::Transaction::Transaction(EditHistory& history)
    : history(history) {
    history.impl->OpenTransaction();
}

EditHistory::Transaction::~Transaction() {
    history.impl->CloseTransaction();
}

EditHistory::EditHistory(Graph& graph)
    : impl(std::make_unique<Impl>(graph)) {}

EditHistory::~EditHistory() = default;

void EditHistory::Undo() {
    impl->Undo();
}

void EditHistory::Redo() {
    impl->Redo();
}

bool EditHistory::CanUndo() const {
    return impl->CanUndo();
}

bool EditHistory::CanRedo() const {
    return impl->CanRedo();
}

std::size_t EditHistory::UndoCount() const {
    return impl->UndoCount();
}

std::size_t EditHistory::RedoCount() const {
    return impl->RedoCount();
}

void EditHistory::SetLimit(std::size_t steps) {
    impl->SetLimit(steps);
}

std::size_t EditHistory::Limit() const {
    return impl->Limit();
}

void EditHistory::Clear() {
    impl->Forget();
}

bool EditHistory::IsAttached() const {
    return impl->IsAttached();
}

// Attaching and detaching.

EditHistory::Impl::Impl(Graph& graph)
    : graph(&graph) {
    GraphStore& store = GraphStore::Of(graph);
    CheckThat(store.History() == nullptr, "The graph already has an edit history.");
    store.SetHistory(this);
}

EditHistory::Impl::~Impl() {
    if (graph != nullptr) {
        Store().SetHistory(nullptr);
        graph = nullptr;
    }
    Forget();
}

void EditHistory::Impl::GraphGone() noexcept {
    Forget();
    graph = nullptr;
}

GraphStore& EditHistory::Impl::Store() const {
    return GraphStore::Of(*graph);
}

EditHistory::Impl* EditHistory::Impl::ForStructuralEdit(const GraphStore& store) noexcept {
    Impl* history = store.History();
    if (history != nullptr && store.TraversalInProgress()) {
        history->Forget();
        return nullptr;
    }
    return history;
}

EditHistory::Impl* EditHistory::Impl::ForWrite(const GraphStore& store) noexcept {
    Impl* history = store.History();
    return history != nullptr && !store.TraversalInProgress() ? history : nullptr;
}

// Recording.

void EditHistory::Impl::Step::Reserve() {
    if (more.empty() && first.size() < blockSize) {
        if (first.size() == first.capacity()) {
            first.reserve(first.empty() ? 1 : std::min(2 * first.size(), blockSize));
        }
        return;
    }
    if (!more.empty() && more.back().size() < blockSize) {
        return;
    }
    if (more.size() == more.capacity()) {
        more.reserve(more.empty() ? 4 : 2 * more.size());
    }
    std::vector<Toggle> block;
    block.reserve(blockSize);
    more.push_back(std::move(block)); // room made above
}

void EditHistory::Impl::Reserve() {
    pending.Reserve();
    if (done.size() == done.capacity()) {
        done.reserve(done.empty() ? 16 : 2 * done.size());
    }
}

void EditHistory::Impl::Commit(Toggle&& toggle) noexcept {
    pending.PushBack(std::move(toggle)); // room made by Reserve
    if (openTransactions == 0) {
        CloseStep();
    }
}

void EditHistory::Impl::Record(Toggle&& toggle) {
    Reserve();
    Commit(std::move(toggle));
}

void EditHistory::Impl::CloseTransaction() noexcept {
    if (--openTransactions == 0 && !pending.empty()) {
        CloseStep();
    }
}

void EditHistory::Impl::CloseStep() noexcept {
    done.push_back(std::move(pending)); // room made by Reserve
    pending = Step();
    if (undone.empty() && (limit == 0 || done.size() <= limit)) {
        return; // nothing to let go of, as for most edits
    }
    // What goes is released once the lists are whole again: its destructors are host code, and
    // may edit the graph.
    std::vector<Step> dropped;
    dropped.swap(undone);
    std::vector<Step> oldest;
    if (limit != 0 && done.size() > limit) {
        try {
            oldest.reserve(done.size() - limit);
            for (std::size_t k = 0; k < done.size() - limit; ++k) {
                oldest.push_back(std::move(done[k]));
            }
            done.erase(done.begin(), done.begin() + static_cast<std::ptrdiff_t>(oldest.size()));
        } catch (...) { // no room to move them aside: they stay until the next step
            for (std::size_t k = 0; k < oldest.size(); ++k) {
                done[k] = std::move(oldest[k]);
            }
            oldest.clear();
        }
    }
    Drop(oldest);
    Drop(dropped);
}

void EditHistory::Impl::Drop(std::vector<Step>& steps) noexcept {
    // Oldest first, and each step's toggles first to last: a pin held out of a node's block dies
    // before the toggle holding that node frees the block.
    for (Step& step : steps) {
        step.ForEach([](Toggle& toggle) { Toggle doomed = std::move(toggle); });
    }
    steps.clear();
}

void EditHistory::Impl::Forget() noexcept {
    std::vector<Step> oldest;
    std::vector<Step> newest;
    Step open;
    oldest.swap(done);
    newest.swap(undone);
    std::swap(open, pending);
    Drop(oldest);
    open.ForEach([](Toggle& toggle) { Toggle doomed = std::move(toggle); });
    Drop(newest);
}

void EditHistory::Impl::SetLimit(std::size_t steps) noexcept {
    limit = steps;
    if (limit == 0 || done.size() <= limit) {
        return;
    }
    std::vector<Step> oldest;
    try {
        oldest.reserve(done.size() - limit);
    } catch (...) {
        return; // applied by the next step
    }
    for (std::size_t k = 0; k < done.size() - limit; ++k) {
        oldest.push_back(std::move(done[k]));
    }
    done.erase(done.begin(), done.begin() + static_cast<std::ptrdiff_t>(oldest.size()));
    Drop(oldest);
}

// Undo and redo.

bool EditHistory::Impl::Usable() const {
    return graph != nullptr && openTransactions == 0 && !Store().TraversalInProgress();
}

void EditHistory::Impl::CheckUsable() const {
    CheckThat(graph != nullptr, "The graph of this edit history was destroyed.");
    CheckThat(openTransactions == 0, "Undo and Redo are refused while a transaction is open.");
    CheckThat(!Store().TraversalInProgress(),
              "Undo and Redo are refused while the graph is being traversed.");
}

void EditHistory::Impl::Undo() {
    CheckUsable();
    CheckThat(!done.empty(), "There is nothing to undo.");
    Apply(done.back(), false);
}

void EditHistory::Impl::Redo() {
    CheckUsable();
    CheckThat(!undone.empty(), "There is nothing to redo.");
    Apply(undone.back(), true);
}

void EditHistory::Impl::Apply(Step& step, bool redo) {
    using Toggles = GraphStore::Toggles;
    using Room = Toggles::Room;
    GraphStore* const start = &Store();
    IGraphEditObserver* const observer = start->EditObserver();

    // Everything that can fail comes first: room for every record, entry and notice, and the
    // check that no ubernode comes back into a graph nested in it.
    std::vector<std::pair<GraphStore*, Room>> rooms{{start, Room()}};
    auto checkUbernode = [this](const GraphStore::NodeRecord& node) {
        CheckThat(!GraphStore::WouldContainItself(*graph, *node.Function()),
                  "An ubernode cannot be a node of its own inner graph, nor of a graph nested in "
                  "it.");
    };
    auto prepare = [&](Toggle& toggle) {
        std::visit(
            Overloaded{
                [&](Toggles::Assignment& assignment) {
                    assignment.Prepare(*rooms.back().first, rooms.back().second);
                    assignment.other->ForEachNode(checkUbernode);
                    rooms.emplace_back(assignment.other.get(), Room());
                },
                [&](Toggles::Node& node) {
                    node.Prepare(*rooms.back().first, rooms.back().second);
                    if (!node.attached) {
                        checkUbernode(*node.node);
                    }
                },
                [&](Toggles::Clear& clear) {
                    clear.Prepare(*rooms.back().first, rooms.back().second);
                    if (clear.cleared) {
                        for (const Toggles::Node& node : clear.nodes) {
                            checkUbernode(*node.node);
                        }
                    }
                },
                [&](auto& other) { other.Prepare(*rooms.back().first, rooms.back().second); },
            },
            toggle);
    };
    if (redo) {
        step.ForEach(prepare);
    } else {
        step.ForEachBackwards(prepare);
    }
    EditNotices notices;
    std::size_t released = 0;
    for (auto& [store, room] : rooms) {
        Toggles::MakeRoom(*store, room);
        if (observer != nullptr) {
            notices.reserve(notices.size() + room.notices);
        }
        released += room.released;
    }
    std::vector<std::shared_ptr<const IDataValue>> releasedValues;
    releasedValues.reserve(released);
    std::vector<Step>& destination = redo ? done : undone;
    destination.reserve(destination.size() + 1);

    // Nothing below can fail.
    Toggles::Context context{start, observer != nullptr ? &notices : nullptr, releasedValues};
    auto apply = [&](Toggle& toggle) {
        std::visit(Overloaded{
                       [&](Toggles::Assignment& assignment) {
                           Toggles::Swap(*graph, assignment, context.notices);
                           context.store = &Store();
                       },
                       [&](auto& other) { other.Apply(context); },
                   },
                   toggle);
    };
    if (redo) {
        step.ForEach(apply);
    } else {
        step.ForEachBackwards(apply);
    }
    std::vector<Step>& source = redo ? undone : done;
    destination.push_back(std::move(source.back()));
    source.pop_back();

    // The values a write let go of, and then the observer: host code, which finds the history
    // and the graph whole.
    releasedValues.clear();
    if (observer != nullptr) {
        for (const EditNotice& notice : notices) {
            if (Store().EditObserver() != observer) {
                break; // the observer let go of the graph
            }
            notice.TellTo(*observer);
        }
    }
}

// The edits made through a graph's own objects.

void GraphStore::Toggles::SetFlag(EditHistory::Impl& history, datagraph::Node& node, bool disabled,
                                  bool value) {
    bool& flag = disabled ? node.disabled : node.dirty;
    const GUID nodeId = node.function->GetId();
    GraphStore& store = GraphStore::Of(node.graph);
    NodeRecord* record = store.FindNode(nodeId);
    if (flag == value || record == nullptr || record->node.get() != &node ||
        EditHistory::Impl::ForWrite(store) != &history) {
        flag = value;
        return;
    }
    history.Reserve();
    const bool before = flag;
    flag = value;
    history.Commit(Flag{record, disabled, before, value});
}

void GraphStore::Toggles::HostWrote(EditHistory::Impl& history, PinRecord& pin,
                                    std::shared_ptr<const IDataValue> before, bool beforeMark) {
    datagraph::Pin& object = pin.pin;
    if (before == object.data && beforeMark == object.updatedData) {
        return; // nothing a host can see has changed
    }
    try {
        history.Record(Write{&pin, before, beforeMark, object.data, object.updatedData});
    } catch (...) {
        // Not recorded, so not made: the pin gets back what it held.
        object.updatedData = beforeMark;
        std::shared_ptr<const IDataValue> written = std::exchange(object.data, before);
        throw;
    }
}

bool GraphStore::WouldContainItself(const Graph& graph, const INodeFunction& function) {
    return graph.PrivateHelper_WouldContainItself(function);
}

} // namespace datagraph
