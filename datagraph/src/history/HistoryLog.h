#pragma once

// The history behind EditHistory: the steps that can be undone and redone, and the calls the
// graph's edits make to record themselves.
//
// An edit is recorded in two halves around the change itself: Reserve makes room for one more
// toggle and one more step (it may throw, and then the edit is not made), and Commit, which cannot
// fail, files the toggle. No host code runs between the two, so the room is still there.

#include "history/StoreToggles.h"

#include <datagraph/EditHistory.h>

#include <vector>

namespace datagraph {

class DATAGRAPH_HIDDEN EditHistory::Impl {
public:
    using Toggle = GraphStore::Toggles::Any;
    using Step = std::vector<Toggle>;

    explicit Impl(Graph& graph);
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl();

    /// The history of the store's graph that records a structural edit made now, or null. While
    /// a traversal of the graph runs, an edit is not recorded and the history forgets every step,
    /// which could no longer be replayed exactly.
    static Impl* ForStructuralEdit(const GraphStore& store) noexcept;
    /// The history that records a write or flag set now, or null (nothing is recorded while a
    /// traversal runs).
    static Impl* ForWrite(const GraphStore& store) noexcept;

    void Reserve();
    void Commit(Toggle&& toggle) noexcept;
    /// Reserve and Commit in one, for an edit already made; raises without recording.
    void Record(Toggle&& toggle);

    void OpenTransaction() noexcept { ++openTransactions; }

    void CloseTransaction() noexcept;

    void Undo();
    void Redo();

    bool CanUndo() const { return Usable() && !done.empty(); }

    bool CanRedo() const { return Usable() && !undone.empty(); }

    std::size_t UndoCount() const { return done.size(); }

    std::size_t RedoCount() const { return undone.size(); }

    void SetLimit(std::size_t steps) noexcept;

    std::size_t Limit() const { return limit; }

    /// Drops every step, oldest first, releasing what they hold.
    void Forget() noexcept;
    /// The graph is being destroyed: every step goes, and the history is left detached.
    void GraphGone() noexcept;

    bool IsAttached() const { return graph != nullptr; }

private:
    GraphStore& Store() const;
    bool Usable() const;
    void CheckUsable() const;
    /// Applies the step's toggles, last first to undo and first to last to redo, all or nothing;
    /// then the observer hears of it.
    void Apply(Step& step, bool redo);
    /// Files the pending step as one that can be undone, and lets go of what can no longer be
    /// redone and of what falls beyond the limit.
    void CloseStep() noexcept;
    static void Drop(std::vector<Step>& steps) noexcept;

    Graph* graph;
    std::vector<Step> done;   // oldest first
    std::vector<Step> undone; // the next one to redo last
    Step pending;             // the step being recorded
    int openTransactions = 0;
    std::size_t limit = 0;
};

/// Makes an edit through its toggle and records it: all or nothing.
template <typename Toggle>
void ApplyRecorded(GraphStore& store, EditHistory::Impl& history, Toggle&& toggle) {
    GraphStore::Toggles::Room room;
    toggle.Prepare(store, room);
    history.Reserve();
    std::vector<std::shared_ptr<const IDataValue>> released; // these toggles release nothing
    GraphStore::Toggles::Context context{&store, nullptr, released};
    toggle.Apply(context);
    history.Commit(std::forward<Toggle>(toggle));
}

} // namespace datagraph
