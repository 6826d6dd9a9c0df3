#pragma once

// The history behind EditHistory: the steps that can be undone and redone, and the calls the
// graph's edits make to record themselves.
//
// An edit is recorded in two halves around the change itself: Reserve makes room for one more
// toggle and one more step (it may throw, and then the edit is not made), and Commit, which cannot
// fail, files the toggle. No host code runs between the two, so the room is still there.

#include "history/StoreToggles.h"

#include <datagraph/EditHistory.h>

#include <utility>
#include <vector>

namespace datagraph {

class DATAGRAPH_HIDDEN EditHistory::Impl {
public:
    using Toggle = GraphStore::Toggles::Any;

    /// The toggles of one step, first to last. A step of one edit takes one small block. A long
    /// step (a graph read from a file in one transaction) fills blocks of a fixed size after the
    /// first, which never move once made: recording an edit never moves the toggles recorded
    /// before it, and no block is large enough to be mapped afresh from the system.
    class Step {
    public:
        Step() = default;
        Step(Step&& other) noexcept = default;
        Step& operator=(Step&& other) noexcept = default;

        bool empty() const noexcept { return first.empty(); }

        /// Room for one more toggle; may throw, and then the step is as it was.
        void Reserve();

        /// Files a toggle in the room Reserve made.
        void PushBack(Toggle&& toggle) noexcept {
            (more.empty() ? first : more.back()).push_back(std::move(toggle));
        }

        std::size_t size() const noexcept {
            return more.empty() ? first.size()
                                : first.size() + (more.size() - 1) * blockSize + more.back().size();
        }

        /// The toggle filed `k`-th: every block but the last is full.
        Toggle& operator[](std::size_t k) noexcept {
            if (k < first.size()) {
                return first[k];
            }
            k -= first.size();
            return more[k / blockSize][k % blockSize];
        }

        template <typename Visit> void ForEach(Visit&& visit) {
            for (Toggle& toggle : first) {
                visit(toggle);
            }
            for (std::vector<Toggle>& block : more) {
                for (Toggle& toggle : block) {
                    visit(toggle);
                }
            }
        }

    private:
        static constexpr std::size_t blockSize = 256;

        std::vector<Toggle> first;             // grows to blockSize
        std::vector<std::vector<Toggle>> more; // each made with room for blockSize
    };

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
