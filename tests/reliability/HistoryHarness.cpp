#include "HistoryHarness.h"

#include "GraphInvariants.h"
#include "InjectedAllocation.h"

#include <datagraph/IGraphEditObserver.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iostream>
#include <new>
#include <set>
#include <stdexcept>
#include <utility>

namespace datagraph::reliability {

HistoryTotals& HistoryTotals::operator+=(const HistoryTotals& other) {
    sequences += other.sequences;
    steps += other.steps;
    edits += other.edits;
    unrecorded += other.unrecorded;
    refusals += other.refusals;
    transactions += other.transactions;
    nestedTransactions += other.nestedTransactions;
    abandonedTransactions += other.abandonedTransactions;
    traversals += other.traversals;
    traversalsRefused += other.traversalsRefused;
    traversalsFailed += other.traversalsFailed;
    equivalenceChecks += other.equivalenceChecks;
    executions += other.executions;
    undos += other.undos;
    redos += other.redos;
    emptyRefusals += other.emptyRefusals;
    transactionRefusals += other.transactionRefusals;
    traversalRefusals += other.traversalRefusals;
    limits += other.limits;
    injectedUndoRedos += other.injectedUndoRedos;
    allocationFailurePoints += other.allocationFailurePoints;
    exactComparisons += other.exactComparisons;
    notices += other.notices;
    return *this;
}

namespace {

// Fixed ids, so that a seed gives the same sequence in every run.
std::vector<GUID> MakePool(const char* prefix, int size) {
    static int made = 0;
    std::vector<GUID> pool;
    for (int k = 0; k < size; ++k) {
        const unsigned serial = static_cast<unsigned>(++made);
        char text[40];
        std::snprintf(text, sizeof text, "%08x-0000-4000-8000-%012x", 0x5eed0000u + serial,
                      serial * 2654435761u);
        pool.push_back(GUIDFromString(text));
        NameId(pool.back(), prefix + std::to_string(k));
    }
    return pool;
}

const std::vector<GUID>& NodePool() {
    static const std::vector<GUID> pool = MakePool("n", 8);
    return pool;
}

const std::vector<GUID>& PinPool() {
    static const std::vector<GUID> pool = MakePool("p", 24);
    return pool;
}

const std::vector<GUID>& SubgraphPool() {
    static const std::vector<GUID> pool = MakePool("s", 3);
    return pool;
}

const std::vector<GUID>& DefaultPool() {
    static const std::vector<GUID> pool = MakePool("default", 3);
    return pool;
}

std::string Notice(const char* kind, std::initializer_list<GUID> ids, int flag = -1) {
    std::string text = kind;
    for (const GUID& id : ids) {
        text += " " + ShortName(id);
    }
    if (flag >= 0) {
        text += flag != 0 ? " true" : " false";
    }
    return text;
}

using Links = std::vector<std::pair<GUID, GUID>>;

/// The links that go with the pins, each once.
Links LinksOf(const HistorySnapshot& snapshot, const std::vector<GUID>& pins) {
    std::set<std::pair<GUID, GUID>> links;
    for (const GUID& id : pins) {
        const PinView& pin = snapshot.pins.at(id);
        if (pin.upstream != GetNullGUID()) {
            links.emplace(pin.upstream, id);
        }
        for (const GUID& downstream : pin.downstream) {
            links.emplace(id, downstream);
        }
    }
    return Links(links.begin(), links.end());
}

/// The notices of one change, with its link notices and its subgraph entry notices each in a
/// fixed order: the order in which a node's or pin's links are told is not defined, nor that of
/// the entries filed back under one id (a host sees a subgraph's nodes as a set).
std::vector<std::string> Canonical(std::vector<std::string> group) {
    for (const char* prefix : {"Link", "NodeAssignedToExecutionSubgraph"}) {
        const std::size_t length = std::string(prefix).size();
        std::vector<std::size_t> places;
        std::vector<std::string> lines;
        for (std::size_t k = 0; k < group.size(); ++k) {
            if (group[k].compare(0, length, prefix) == 0) {
                places.push_back(k);
                lines.push_back(group[k]);
            }
        }
        std::sort(lines.begin(), lines.end());
        for (std::size_t k = 0; k < places.size(); ++k) {
            group[places[k]] = lines[k];
        }
    }
    return group;
}

struct Outcome {
    enum class Kind { None, GraphException, OutOfRange, HostError, BadAlloc, Other };

    Kind kind = Kind::None;
    std::string message;
};

const char* KindName(Outcome::Kind kind) {
    switch (kind) {
    case Outcome::Kind::None:
        return "success";
    case Outcome::Kind::GraphException:
        return "GraphException";
    case Outcome::Kind::OutOfRange:
        return "std::out_of_range";
    case Outcome::Kind::HostError:
        return "a host error";
    case Outcome::Kind::BadAlloc:
        return "std::bad_alloc";
    case Outcome::Kind::Other:
        break;
    }
    return "another exception";
}

Outcome Capture(const std::function<void()>& call) {
    try {
        call();
    } catch (const GraphException& e) {
        return {Outcome::Kind::GraphException, e.what()};
    } catch (const std::out_of_range& e) {
        return {Outcome::Kind::OutOfRange, e.what()};
    } catch (const HistoryHostError& e) {
        return {Outcome::Kind::HostError, e.what()};
    } catch (const std::bad_alloc&) {
        return {Outcome::Kind::BadAlloc, {}};
    } catch (const std::exception& e) {
        return {Outcome::Kind::Other, e.what()};
    }
    return {};
}

const char* const missingKey = "invalid unordered_map<K, T> key";

ValueKind KindOfType(const std::type_index& type) {
    return type == typeid(ValueA) ? ValueKind::A : ValueKind::B;
}

} // namespace

/// Every notice as one line, with the lists' sizes at the moment it came.
class NoticeRecorder : public IGraphEditObserver {
public:
    const EditHistory* history = nullptr;
    std::vector<std::string> heard;
    std::vector<std::pair<std::size_t, std::size_t>> counts;

    std::vector<std::string> Take() {
        counts.clear();
        return std::exchange(heard, {});
    }

    void NodeCreated(const GUID& n) override { Add("NodeCreated", {n}); }

    void NodeDestroyed(const GUID& n) override { Add("NodeDestroyed", {n}); }

    void PinCreated(const GUID& n, const GUID& p, bool out) override {
        Add("PinCreated", {n, p}, out);
    }

    void PinDestroyed(const GUID& n, const GUID& p, bool out) override {
        Add("PinDestroyed", {n, p}, out);
    }

    void LinkMade(const GUID& u, const GUID& d) override { Add("LinkMade", {u, d}); }

    void LinkRemoved(const GUID& u, const GUID& d) override { Add("LinkRemoved", {u, d}); }

    void PinDataWritten(const GUID& p) override { Add("PinDataWritten", {p}); }

    void PinMarkSet(const GUID& p, bool mark) override { Add("PinMarkSet", {p}, mark); }

    void NodeDirtySet(const GUID& n, bool dirty) override { Add("NodeDirtySet", {n}, dirty); }

    void NodeDisabledSet(const GUID& n, bool disabled) override {
        Add("NodeDisabledSet", {n}, disabled);
    }

    void NodeExecuted(const GUID& n) override { Add("NodeExecuted", {n}); }

    void NodeAssignedToExecutionSubgraph(const GUID& n, const GUID& s) override {
        Add("NodeAssignedToExecutionSubgraph", {n, s});
    }

    void NodeRemovedFromExecutionSubgraph(const GUID& n, const GUID& s) override {
        Add("NodeRemovedFromExecutionSubgraph", {n, s});
    }

    void SubgraphEntriesRemoved(const GUID& n) override { Add("SubgraphEntriesRemoved", {n}); }

    void GraphCleared() override { Add("GraphCleared", {}); }

    void GraphAssigned() override { Add("GraphAssigned", {}); }

    void TraversalFinished(const GUID& s) override { Add("TraversalFinished", {s}); }

private:
    void Add(const char* kind, std::initializer_list<GUID> ids, int flag = -1) {
        const allocation::Pause pause; // the notice is no allocation of the call it reports
        heard.push_back(Notice(kind, ids, flag));
        if (history != nullptr) {
            counts.emplace_back(history->UndoCount(), history->RedoCount());
        }
    }
};

struct HistoryHarness::Edit {
    enum class Kind {
        NodeMade,
        NodeDestroyed,
        EntriesRemoved,
        PinMade,
        PinDestroyed,
        LinkMade,
        LinkRemoved,
        Write,
        Flag,
        EntryAdded,
        Cleared,
        Assigned,
    };

    explicit Edit(Kind kind)
        : kind(kind) {}

    Kind kind;
    GUID first{};                // the node, pin, upstream pin or entry's id
    GUID second{};               // the pin, downstream pin or subgraph
    bool side = false;           // an output pin; the disabled flag
    Links links;                 // that went with a node or pin
    std::vector<GUID> subgraphs; // the entries that went with an absent id
    const Pin* pin = nullptr;
    PinData before, after;
    const Node* node = nullptr;
    bool flagBefore = false, flagAfter = false;

    /// The notices of its undo or redo, as the header gives them; updates what the pins and
    /// nodes hold as the toggle does.
    std::vector<std::string> Replay(bool undo, std::map<const Pin*, PinData>& data,
                                    std::map<const Node*, NodeFlags>& flags) const;
};

std::vector<std::string>
HistoryHarness::Edit::Replay(bool undo, std::map<const Pin*, PinData>& data,
                             std::map<const Node*, NodeFlags>& flags) const {
    std::vector<std::string> notices;
    auto linkNotices = [&](const char* kind) {
        for (const auto& [from, to] : links) {
            notices.push_back(Notice(kind, {from, to}));
        }
    };
    switch (kind) {
    case Kind::NodeMade:
        notices.push_back(Notice(undo ? "NodeDestroyed" : "NodeCreated", {first}));
        break;
    case Kind::NodeDestroyed:
        if (undo) {
            notices.push_back(Notice("NodeCreated", {first}));
            linkNotices("LinkMade");
        } else {
            linkNotices("LinkRemoved");
            notices.push_back(Notice("NodeDestroyed", {first}));
        }
        break;
    case Kind::EntriesRemoved:
        if (undo) {
            for (const GUID& subgraph : subgraphs) {
                notices.push_back(Notice("NodeAssignedToExecutionSubgraph", {first, subgraph}));
            }
        } else {
            notices.push_back(Notice("SubgraphEntriesRemoved", {first}));
        }
        break;
    case Kind::PinMade:
        notices.push_back(Notice(undo ? "PinDestroyed" : "PinCreated", {first, second}, side));
        break;
    case Kind::PinDestroyed:
        if (undo) {
            notices.push_back(Notice("PinCreated", {first, second}, side));
            linkNotices("LinkMade");
        } else {
            linkNotices("LinkRemoved");
            notices.push_back(Notice("PinDestroyed", {first, second}, side));
        }
        break;
    case Kind::LinkMade:
    case Kind::LinkRemoved:
        notices.push_back(
            Notice((kind == Kind::LinkMade) != undo ? "LinkMade" : "LinkRemoved", {first, second}));
        break;
    case Kind::Write: {
        PinData& held = data.at(pin);
        const PinData& target = undo ? before : after;
        notices.push_back(held.value != target.value ? Notice("PinDataWritten", {first})
                                                     : Notice("PinMarkSet", {first}, target.mark));
        held = target;
        break;
    }
    case Kind::Flag: {
        const bool value = undo ? flagBefore : flagAfter;
        (side ? flags.at(node).disabled : flags.at(node).dirty) = value;
        notices.push_back(Notice(side ? "NodeDisabledSet" : "NodeDirtySet", {first}, value));
        break;
    }
    case Kind::EntryAdded:
        notices.push_back(
            Notice(undo ? "NodeRemovedFromExecutionSubgraph" : "NodeAssignedToExecutionSubgraph",
                   {first, second}));
        break;
    case Kind::Cleared:
        notices.push_back(Notice(undo ? "GraphAssigned" : "GraphCleared", {}));
        break;
    case Kind::Assigned:
        notices.push_back(Notice("GraphAssigned", {}));
        break;
    }
    return notices;
}

/// What an edit must do: be refused with this outcome and change nothing, or succeed with these
/// notices and record these edits (none: it changes nothing a host can see).
struct HistoryHarness::Expectation {
    bool refused = false;
    Outcome::Kind kind = Outcome::Kind::None;
    std::string message;
    std::vector<Edit> edits;
    std::vector<std::string> notices;
    std::function<void()> model; // updates the entries model on success

    static Expectation Refused(Outcome::Kind kind, std::string message = {}) {
        Expectation expectation;
        expectation.refused = true;
        expectation.kind = kind;
        expectation.message = std::move(message);
        return expectation;
    }
};

// Set-up and the end.

HistoryHarness::HistoryHarness(ChoiceSource& choices, int injectPercent)
    : choices(choices)
    , injectPercent(injectPercent)
    , context(std::make_shared<FunctionContext>())
    , recorder(std::make_unique<NoticeRecorder>())
    , graph(std::make_unique<Graph>(DefaultPool()[0])) {
    PinPool(); // names every pool
    NodePool();
    SubgraphPool();
    linkTable = &graph->GetPinToPinEdges();
    history = std::make_unique<EditHistory>(*graph);
    context->history = history.get();
    recorder->history = history.get();
    graph->SetEditObserver(recorder.get());
    current.emplace(*graph);
    states.push_back(State{*current, entries, {}, epoch});
    ++totals.sequences;
}

HistoryHarness::~HistoryHarness() {
    if (graph) {
        graph->SetEditObserver(nullptr);
    }
    history.reset();
    graph.reset();
}

void HistoryHarness::Fail(const std::string& what) const {
    throw HistoryMismatch((log.empty() ? std::string("at the start") : log.back()) + ": " + what);
}

void HistoryHarness::Note(std::string line) {
    static const bool trace = std::getenv("KESDATAGRAPH_HISTORY_TRACE") != nullptr;
    if (trace) {
        std::cerr << "  " << line << std::endl;
    }
    log.push_back(std::move(line));
}

void HistoryHarness::Finish() {
    Note("undo everything, redo everything");
    while (position > 0) {
        Undo(false);
    }
    while (position + 1 < states.size()) {
        Undo(true);
    }
    const bool graphFirst = choices.Chance(50);
    Note(graphFirst ? "destroy the graph, then the history"
                    : "destroy the history, then the graph");
    recorder->Take();
    if (graphFirst) {
        graph.reset();
        if (history->IsAttached() || history->CanUndo() || history->CanRedo()) {
            Fail("the history still counts itself attached, or offers steps");
        }
        if (Capture([&] { history->Undo(); }).kind != Outcome::Kind::GraphException ||
            Capture([&] { history->Redo(); }).kind != Outcome::Kind::GraphException) {
            Fail("Undo or Redo without a graph is not refused");
        }
        history.reset();
    } else {
        history.reset();
        recorder->history = nullptr;
        context->history = nullptr;
        if (const std::string difference = Difference(*current, HistorySnapshot(*graph));
            !difference.empty()) {
            Fail("a history going away changed the graph: " + difference);
        }
        graph->SetEditObserver(nullptr);
        graph.reset();
    }
    if (!recorder->Take().empty()) {
        Fail("the observer heard the graph or history going away");
    }
    if (ModelValue::LiveCount() != 0 || HistoryFunction::Live() != 0) {
        Fail(std::to_string(ModelValue::LiveCount()) + " values and " +
             std::to_string(HistoryFunction::Live()) + " node functions outlive the graph");
    }
}

// Checks.

void HistoryHarness::CheckCounts(const std::string& where) const {
    const std::size_t redoable = states.size() - 1 - position;
    if (history->UndoCount() != position || history->RedoCount() != redoable) {
        Fail(where + ": UndoCount " + std::to_string(history->UndoCount()) + " and RedoCount " +
             std::to_string(history->RedoCount()) + " instead of " + std::to_string(position) +
             " and " + std::to_string(redoable));
    }
    const bool usable = openTransactions == 0;
    if (history->CanUndo() != (usable && position > 0) ||
        history->CanRedo() != (usable && redoable > 0)) {
        Fail(where + ": CanUndo or CanRedo disagrees with the counts");
    }
    if (history->Limit() != limit || !history->IsAttached()) {
        Fail(where + ": the limit or the attachment changed");
    }
}

void HistoryHarness::CheckGraph(const std::string& where, const HistorySnapshot& snapshot) const {
    if (const std::string violation = FindInvariantViolation(*graph); !violation.empty()) {
        Fail(where + ": " + violation);
    }
    if (snapshot.linkTable != linkTable) {
        Fail(where + ": GetPinToPinEdges() is another object");
    }
    // The entries model against the subgraphs the graph reports.
    std::map<GUID, std::vector<GUID>> expected;
    for (const auto& [id, subgraphs] : entries) {
        if (subgraphs.empty()) {
            Fail(where + ": the suite keeps an empty list of entries");
        }
        for (const GUID& subgraph : subgraphs) {
            expected[subgraph].push_back(id);
        }
    }
    for (auto& [subgraph, ids] : expected) {
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    }
    if (expected != snapshot.subgraphs) {
        Fail(where + ": the subgraphs do not hold the entries filed");
    }
    for (const auto& node : snapshot.nodes) {
        if (entries.count(node.first) == 0) {
            Fail(where + ": node " + ShortName(node.first) + " stands in no subgraph");
        }
    }
}

void HistoryHarness::Refresh(const HistorySnapshot& snapshot) {
    for (const auto& pin : snapshot.pins) {
        pinData[pin.second.object] = pin.second.data;
    }
    for (const auto& node : snapshot.nodes) {
        nodeFlags[node.second.object] = node.second.flags;
    }
}

// Choices.

GUID HistoryHarness::PickNode(int existingPercent) {
    if (!current->nodes.empty() && choices.Chance(static_cast<std::uint32_t>(existingPercent))) {
        auto node = current->nodes.begin();
        std::advance(node, choices.Below(static_cast<std::uint32_t>(current->nodes.size())));
        return node->first;
    }
    return NodePool()[choices.Below(static_cast<std::uint32_t>(NodePool().size()))];
}

GUID HistoryHarness::PickPin(int existingPercent, int outputPercent) {
    if (!current->pins.empty() && choices.Chance(static_cast<std::uint32_t>(existingPercent))) {
        const bool output = choices.Chance(static_cast<std::uint32_t>(outputPercent));
        std::vector<GUID> side;
        for (const auto& [id, pin] : current->pins) {
            if (pin.output == output) {
                side.push_back(id);
            }
        }
        if (side.empty()) {
            for (const auto& pin : current->pins) {
                side.push_back(pin.first);
            }
        }
        return side[choices.Below(static_cast<std::uint32_t>(side.size()))];
    }
    return PinPool()[choices.Below(static_cast<std::uint32_t>(PinPool().size()))];
}

GUID HistoryHarness::PickSubgraph() {
    const std::uint32_t roll = choices.Below(20);
    if (roll == 0) {
        return GetNullGUID();
    }
    if (roll < 8) {
        return current->defaultSubgraph;
    }
    return SubgraphPool()[roll % SubgraphPool().size()];
}

std::shared_ptr<HistoryFunction> HistoryHarness::NewFunction(const GUID& id,
                                                             const HistorySnapshot* clashWith) {
    HistoryFunction::Pins inputs;
    HistoryFunction::Pins outputs;
    std::set<GUID> used;
    for (auto* side : {&inputs, &outputs}) {
        const std::uint32_t count = choices.Below(3);
        for (std::uint32_t k = 0; k < count; ++k) {
            GUID pin = PinPool()[choices.Below(static_cast<std::uint32_t>(PinPool().size()))];
            // Mostly free ids, so that most nodes are made; now and then one in use.
            for (int attempt = 0; attempt < 4 && (used.count(pin) != 0 ||
                                                  (clashWith && clashWith->pins.count(pin) != 0));
                 ++attempt) {
                pin = PinPool()[choices.Below(static_cast<std::uint32_t>(PinPool().size()))];
            }
            if (side == &inputs && used.count(pin) != 0) {
                continue; // one schema cannot name a pin twice
            }
            used.insert(pin);
            side->emplace_back(pin, choices.Chance(60) ? ValueKind::A : ValueKind::B);
        }
    }
    // A schema names each pin once; the same id on both sides is a clash the graph refuses.
    auto last = std::unique(outputs.begin(), outputs.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; });
    outputs.erase(last, outputs.end());
    return std::make_shared<HistoryFunction>(id, static_cast<int>(choices.Below(100)),
                                             std::move(inputs), std::move(outputs), context);
}

// Performing one edit.

void HistoryHarness::Perform(const std::string& name, Expectation expectation,
                             const std::function<void()>& call) {
    Note(name);
    const std::size_t undoable = history->UndoCount();
    const std::size_t redoable = history->RedoCount();
    recorder->Take();
    const Outcome outcome = Capture(call);
    HistorySnapshot after(*graph);
    const std::vector<std::string> heard = recorder->Take();
    totals.notices += static_cast<long>(heard.size());
    if (outcome.kind != expectation.kind ||
        (expectation.kind != Outcome::Kind::None && outcome.message != expectation.message)) {
        Fail(std::string("ended with ") + KindName(outcome.kind) + " \"" + outcome.message +
             "\" instead of " + KindName(expectation.kind) + " \"" + expectation.message + "\"");
    }
    const bool unchanged = expectation.refused || expectation.edits.empty();
    if (unchanged) {
        if (const std::string difference = Difference(*current, after); !difference.empty()) {
            Fail((expectation.refused ? "a refused request changed the graph: "
                                      : "a request that records nothing changed the graph: ") +
                 difference);
        }
    }
    if (expectation.refused && !heard.empty()) {
        Fail("a refused request was heard: " + heard.front());
    }
    if (!expectation.refused && Canonical(heard) != Canonical(expectation.notices)) {
        std::string text = "the observer heard";
        for (const std::string& line : heard) {
            text += " [" + line + "]";
        }
        text += " instead of";
        for (const std::string& line : expectation.notices) {
            text += " [" + line + "]";
        }
        Fail(text);
    }
    if (unchanged || openTransactions > 0) {
        if (history->UndoCount() != undoable || history->RedoCount() != redoable) {
            Fail(expectation.refused ? "a refused request changed the history's lists"
                 : unchanged         ? "a request that changed nothing changed the history's lists"
                                     : "an edit in a transaction made a step of its own");
        }
    }
    if (expectation.refused) {
        ++totals.refusals;
    } else {
        if (expectation.model) {
            expectation.model();
        }
        if (expectation.edits.empty()) {
            ++totals.unrecorded;
        } else {
            ++totals.edits;
        }
        pending.insert(pending.end(), expectation.edits.begin(), expectation.edits.end());
    }
    current.emplace(std::move(after));
    Refresh(*current);
    if (openTransactions == 0 && !pending.empty()) {
        stepEpoch = epoch;
        CloseStep();
    }
    if (openTransactions == 0) {
        CheckCounts("after the edit");
    }
    CheckGraph("after the edit", *current);
}

void HistoryHarness::CloseStep() {
    states.resize(position + 1, states.front());
    states.push_back(State{*current, entries, std::move(pending), epoch, stepEpoch == epoch});
    pending.clear();
    ++position;
    if (limit != 0 && position > limit) {
        states.erase(states.begin(),
                     states.begin() + static_cast<std::ptrdiff_t>(position - limit));
        position = limit;
    }
}

// The edits.

void HistoryHarness::RandomEdit() {
    const std::uint32_t roll = choices.Below(100);
    if (roll < 13) {
        CreateNode();
    } else if (roll < 21) {
        DestroyNode();
    } else if (roll < 27) {
        CreatePin();
    } else if (roll < 32) {
        DestroyPin();
    } else if (roll < 44) {
        LinkPins();
    } else if (roll < 48) {
        UnlinkPins(false);
    } else if (roll < 51) {
        UnlinkPins(true);
    } else if (roll < 60) {
        WriteValue(false);
    } else if (roll < 66) {
        WriteValue(true);
    } else if (roll < 72) {
        SetMark();
    } else if (roll < 78) {
        SetFlag(false);
    } else if (roll < 84) {
        SetFlag(true);
    } else if (roll < 93) {
        AssignEntry();
    } else if (roll < 96) {
        Clear();
    } else {
        AssignGraph();
    }
}

void HistoryHarness::CreateNode() {
    if (choices.Chance(4)) {
        return Perform(
            "CreateNode(null)",
            Expectation::Refused(Outcome::Kind::GraphException, "Node function cannot be null"),
            [&] { graph->CreateNode(nullptr, GetNullGUID()); });
    }
    const GUID id = PickNode(15);
    std::shared_ptr<HistoryFunction> function = NewFunction(id, &*current);
    const GUID subgraph = PickSubgraph();
    const std::string name = "CreateNode(" + ShortName(id) + ", " + ShortName(subgraph) + ")";
    Expectation expectation;
    if (current->nodes.count(id) != 0) {
        expectation = Expectation::Refused(Outcome::Kind::GraphException,
                                           "GUID is already assigned to an existing node.");
    } else {
        bool clash = false;
        std::set<GUID> seen;
        for (const Schema& schema : {function->GetInputSchema(), function->GetOutputSchema()}) {
            for (const auto& pin : schema) {
                clash =
                    clash || current->pins.count(pin.first) != 0 || !seen.insert(pin.first).second;
            }
        }
        if (clash) {
            expectation =
                Expectation::Refused(Outcome::Kind::GraphException,
                                     "Requested pin id is already being used by another pin.");
        } else {
            Edit edit(Edit::Kind::NodeMade);
            edit.first = id;
            expectation.edits.push_back(edit);
            expectation.notices.push_back(Notice("NodeCreated", {id}));
            const GUID filed = subgraph == GetNullGUID() ? current->defaultSubgraph : subgraph;
            expectation.model = [this, id, filed] { entries[id].push_back(filed); };
        }
    }
    Perform(name, std::move(expectation), [&] { graph->CreateNode(function, subgraph); });
}

void HistoryHarness::DestroyNode() {
    // Now and then an id with entries but no node.
    GUID id = PickNode(80);
    if (choices.Chance(30)) {
        for (const auto& entry : entries) {
            if (current->nodes.count(entry.first) == 0) {
                id = entry.first;
            }
        }
    }
    Expectation expectation;
    auto node = current->nodes.find(id);
    if (node != current->nodes.end()) {
        std::vector<GUID> pins = node->second.inputs;
        pins.insert(pins.end(), node->second.outputs.begin(), node->second.outputs.end());
        Edit edit(Edit::Kind::NodeDestroyed);
        edit.first = id;
        edit.links = LinksOf(*current, pins);
        expectation.notices = edit.Replay(false, pinData, nodeFlags);
        expectation.edits.push_back(std::move(edit));
        expectation.model = [this, id] { entries.erase(id); };
    } else if (entries.count(id) != 0) {
        Edit edit(Edit::Kind::EntriesRemoved);
        edit.first = id;
        edit.subgraphs = entries.at(id);
        expectation.notices.push_back(Notice("SubgraphEntriesRemoved", {id}));
        expectation.edits.push_back(std::move(edit));
        expectation.model = [this, id] { entries.erase(id); };
    }
    Perform("DestroyNode(" + ShortName(id) + ")", std::move(expectation),
            [&] { graph->DestroyNode(id); });
}

void HistoryHarness::CreatePin() {
    const GUID nodeId = PickNode(90);
    const GUID pinId = PickPin(10, 50);
    const bool output = choices.Chance(50);
    const ValueKind kind = choices.Chance(50) ? ValueKind::A : ValueKind::B;
    Expectation expectation;
    if (current->nodes.count(nodeId) == 0) {
        expectation = Expectation::Refused(Outcome::Kind::GraphException, "Node does not exist");
    } else if (current->pins.count(pinId) != 0) {
        expectation =
            Expectation::Refused(Outcome::Kind::GraphException,
                                 "Requested pin id is already being used by another pin.");
    } else {
        Edit edit(Edit::Kind::PinMade);
        edit.first = nodeId;
        edit.second = pinId;
        edit.side = output;
        expectation.notices = edit.Replay(false, pinData, nodeFlags);
        expectation.edits.push_back(edit);
    }
    Perform(std::string(output ? "CreateOutputPin(" : "CreateInputPin(") + ShortName(nodeId) +
                ", " + ShortName(pinId) + ")",
            std::move(expectation), [&] {
                output ? graph->CreateOutputPin(nodeId, pinId, TypeOf(kind))
                       : graph->CreateInputPin(nodeId, pinId, TypeOf(kind));
            });
}

void HistoryHarness::DestroyPin() {
    const GUID nodeId = PickNode(92);
    GUID pinId = PickPin(30, 50);
    auto node = current->nodes.find(nodeId);
    if (node != current->nodes.end() && choices.Chance(70)) {
        std::vector<GUID> own = node->second.inputs;
        own.insert(own.end(), node->second.outputs.begin(), node->second.outputs.end());
        if (!own.empty()) {
            pinId = own[choices.Below(static_cast<std::uint32_t>(own.size()))];
        }
    }
    const bool output = choices.Chance(50);
    Expectation expectation;
    auto pin = current->pins.find(pinId);
    if (node == current->nodes.end()) {
        expectation = Expectation::Refused(Outcome::Kind::GraphException,
                                           "The node must exist for us to destroy its pin.");
    } else if (pin == current->pins.end() || pin->second.output != output ||
               pin->second.owner != nodeId) {
        expectation = Expectation::Refused(Outcome::Kind::GraphException, "");
    } else {
        Edit edit(Edit::Kind::PinDestroyed);
        edit.first = nodeId;
        edit.second = pinId;
        edit.side = output;
        edit.links = LinksOf(*current, {pinId});
        expectation.notices = edit.Replay(false, pinData, nodeFlags);
        expectation.edits.push_back(std::move(edit));
    }
    Perform(std::string(output ? "DestroyOutputPin(" : "DestroyInputPin(") + ShortName(nodeId) +
                ", " + ShortName(pinId) + ")",
            std::move(expectation), [&] {
                output ? graph->DestroyOutputPin(nodeId, pinId)
                       : graph->DestroyInputPin(nodeId, pinId);
            });
}

void HistoryHarness::LinkPins() {
    const GUID from = PickPin(92, 85);
    const GUID to = PickPin(92, 15);
    Expectation expectation;
    auto upstream = current->pins.find(from);
    auto downstream = current->pins.find(to);
    if (upstream == current->pins.end()) {
        expectation =
            Expectation::Refused(Outcome::Kind::GraphException, "Output pin does not exist.");
    } else if (downstream == current->pins.end()) {
        expectation =
            Expectation::Refused(Outcome::Kind::GraphException, "Input pin does not exist.");
    } else if (downstream->second.upstream != GetNullGUID()) {
        if (downstream->second.upstream != from) {
            expectation = Expectation::Refused(
                Outcome::Kind::GraphException,
                "The input pin is already connected to a different upstream output pin.");
        } // else linked already: nothing
    } else {
        Edit edit(Edit::Kind::LinkMade);
        edit.first = from;
        edit.second = to;
        expectation.notices = edit.Replay(false, pinData, nodeFlags);
        expectation.edits.push_back(edit);
    }
    Perform("LinkPins(" + ShortName(from) + ", " + ShortName(to) + ")", std::move(expectation),
            [&] { graph->LinkPins(from, to); });
}

void HistoryHarness::UnlinkPins(bool inputOnly) {
    GUID from = PickPin(80, 85);
    GUID to = PickPin(80, 15);
    if (!current->links.empty() && choices.Chance(70)) {
        const auto& link =
            current->links[choices.Below(static_cast<std::uint32_t>(current->links.size()))];
        from = link.first;
        to = link.second;
    }
    Expectation expectation;
    auto downstream = current->pins.find(to);
    const GUID upstream =
        downstream != current->pins.end() ? downstream->second.upstream : GetNullGUID();
    if (inputOnly || (upstream != GetNullGUID() && upstream == from)) {
        if (upstream != GetNullGUID()) {
            Edit edit(Edit::Kind::LinkRemoved);
            edit.first = upstream;
            edit.second = to;
            expectation.notices = edit.Replay(false, pinData, nodeFlags);
            expectation.edits.push_back(edit);
        }
    } else {
        expectation = Expectation::Refused(Outcome::Kind::GraphException, "");
    }
    if (inputOnly) {
        return Perform("UnlinkInputPin(" + ShortName(to) + ")", std::move(expectation),
                       [&] { graph->UnlinkInputPin(to); });
    }
    Perform("UnlinkPins(" + ShortName(from) + ", " + ShortName(to) + ")", std::move(expectation),
            [&] { graph->UnlinkPins(from, to); });
}

void HistoryHarness::WriteValue(bool throughPin) {
    const GUID pinId = PickPin(throughPin ? 100 : 92, 50);
    auto pin = current->pins.find(pinId);
    std::shared_ptr<const IDataValue> value;
    std::string what;
    const std::uint32_t roll = choices.Below(100);
    if (pin != current->pins.end() && roll < 15 && pin->second.data.value != nullptr) {
        value = graph->GetDataFromPin(pinId); // what it holds already
        what = "its own value";
    } else if (roll < 22) {
        what = "null";
    } else {
        ValueKind kind = pin != current->pins.end() ? KindOfType(pin->second.type) : ValueKind::A;
        if (roll < 32) { // of another type
            kind = kind == ValueKind::B || choices.Chance(50) ? ValueKind::DerivedA : ValueKind::B;
            if (pin != current->pins.end() && KindOfType(pin->second.type) == ValueKind::B &&
                kind == ValueKind::B) {
                kind = ValueKind::A;
            }
        }
        value = MakeValue(kind, static_cast<int>(choices.Below(1000)));
        what = "value #" + std::to_string(static_cast<const ModelValue&>(*value).Serial());
    }
    Expectation expectation;
    if (pin == current->pins.end()) {
        expectation = Expectation::Refused(Outcome::Kind::OutOfRange, missingKey);
    } else if (value == nullptr) {
        expectation =
            Expectation::Refused(Outcome::Kind::GraphException, "Data value cannot be null");
    } else if (std::type_index(value->GetType()) != pin->second.type) {
        expectation =
            Expectation::Refused(Outcome::Kind::GraphException, "Data value has incorrect type");
    } else {
        expectation.notices.push_back(Notice("PinDataWritten", {pinId}));
        const PinData after{value.get(), static_cast<const ModelValue&>(*value).Serial(), true};
        if (after != pin->second.data) {
            Edit edit(Edit::Kind::Write);
            edit.first = pinId;
            edit.pin = pin->second.object;
            edit.before = pin->second.data;
            edit.after = after;
            expectation.edits.push_back(edit);
        }
    }
    const std::string name = (throughPin ? "GetTraversablePin(" + ShortName(pinId) + ").SetData("
                                         : "PutDataOnPin(" + ShortName(pinId) + ", ") +
                             what + ")";
    Perform(name, std::move(expectation), [&] {
        if (throughPin) {
            graph->GetTraversablePin(pinId).SetData(value);
        } else {
            graph->PutDataOnPin(pinId, value);
        }
    });
}

void HistoryHarness::SetMark() {
    const GUID pinId = PickPin(95, 50);
    const bool mark = choices.Chance(50);
    Expectation expectation;
    auto pin = current->pins.find(pinId);
    if (pin == current->pins.end()) {
        expectation = Expectation::Refused(Outcome::Kind::OutOfRange, missingKey);
    } else {
        expectation.notices.push_back(Notice("PinMarkSet", {pinId}, mark));
        if (mark != pin->second.data.mark) {
            Edit edit(Edit::Kind::Write);
            edit.first = pinId;
            edit.pin = pin->second.object;
            edit.before = pin->second.data;
            edit.after = pin->second.data;
            edit.after.mark = mark;
            expectation.edits.push_back(edit);
        }
    }
    Perform("GetTraversablePin(" + ShortName(pinId) + ").SetUpdatedData(" +
                (mark ? "true" : "false") + ")",
            std::move(expectation), [&] { graph->GetTraversablePin(pinId).SetUpdatedData(mark); });
}

void HistoryHarness::SetFlag(bool disabled) {
    const GUID nodeId = PickNode(disabled ? 100 : 92);
    const bool value = choices.Chance(50);
    // Dirty through the graph or through the node; disabled through a node from GetNodes().
    const bool throughNode = !disabled && choices.Chance(50);
    Expectation expectation;
    auto node = current->nodes.find(nodeId);
    if (node == current->nodes.end()) {
        if (disabled) {
            return; // GetNodes() offers no such node
        }
        expectation = Expectation::Refused(Outcome::Kind::OutOfRange, missingKey);
    } else {
        const bool before = disabled ? node->second.flags.disabled : node->second.flags.dirty;
        expectation.notices.push_back(
            Notice(disabled ? "NodeDisabledSet" : "NodeDirtySet", {nodeId}, value));
        if (before != value) {
            Edit edit(Edit::Kind::Flag);
            edit.first = nodeId;
            edit.side = disabled;
            edit.node = node->second.object;
            edit.flagBefore = before;
            edit.flagAfter = value;
            expectation.edits.push_back(edit);
        }
    }
    const std::string flag = value ? "true" : "false";
    const std::string name =
        disabled      ? "GetNodes()[" + ShortName(nodeId) + "]->SetDisabled(" + flag + ")"
        : throughNode ? "GetTraversableNode(" + ShortName(nodeId) + ").SetDirty(" + flag + ")"
                      : "SetDirty(" + ShortName(nodeId) + ", " + flag + ")";
    Perform(name, std::move(expectation), [&] {
        if (disabled) {
            graph->GetNodes().at(nodeId)->SetDisabled(value);
        } else if (throughNode) {
            graph->GetTraversableNode(nodeId).SetDirty(value);
        } else {
            graph->SetDirty(nodeId, value);
        }
    });
}

void HistoryHarness::AssignEntry() {
    const GUID nodeId = PickNode(70);
    GUID subgraph = PickSubgraph();
    Edit edit(Edit::Kind::EntryAdded);
    edit.first = nodeId;
    edit.second = subgraph;
    Expectation expectation;
    expectation.notices = edit.Replay(false, pinData, nodeFlags);
    expectation.edits.push_back(edit);
    expectation.model = [this, nodeId, subgraph] { entries[nodeId].push_back(subgraph); };
    Perform(
        "AssignNodeToExecutionSubgraphs(" + ShortName(nodeId) + ", " + ShortName(subgraph) + ")",
        std::move(expectation), [&] { graph->AssignNodeToExecutionSubgraphs(nodeId, subgraph); });
}

void HistoryHarness::Clear() {
    bool absentEntries = false;
    for (const auto& entry : entries) {
        absentEntries = absentEntries || current->nodes.count(entry.first) == 0;
    }
    Expectation expectation;
    if (!current->nodes.empty()) {
        expectation.edits.push_back(Edit(Edit::Kind::Cleared));
    }
    if (absentEntries) {
        // Entries filed under ids that are no nodes outlive the nodes, and Clear complains
        // once the nodes are gone.
        expectation.kind = Outcome::Kind::GraphException;
        expectation.message = "All nodes should have already been removed.";
    } else {
        expectation.notices.push_back(Notice("GraphCleared", {}));
    }
    expectation.model = [this] {
        for (const auto& node : current->nodes) {
            entries.erase(node.first);
        }
    };
    Perform("Clear()", std::move(expectation), [&] { graph->Clear(); });
}

void HistoryHarness::AssignGraph() {
    const std::uint32_t roll = choices.Below(100);
    if (roll < 5) {
        Graph& same = *graph;
        return Perform("graph = graph", Expectation(), [&] { *graph = same; });
    }
    // Another graph: a copy of this one, or a few nodes of its own with values, flags, links
    // and entries, some of them filed under ids that are no nodes.
    Graph other(DefaultPool()[choices.Below(static_cast<std::uint32_t>(DefaultPool().size()))]);
    Entries otherEntries;
    if (roll < 30) {
        other = *graph;
        otherEntries = entries;
    } else {
        const std::uint32_t count = choices.Below(4);
        for (std::uint32_t k = 0; k < count; ++k) {
            const GUID id =
                NodePool()[choices.Below(static_cast<std::uint32_t>(NodePool().size()))];
            const HistorySnapshot inOther(other);
            if (inOther.nodes.count(id) != 0) {
                continue;
            }
            auto function = NewFunction(id, &inOther);
            try {
                other.CreateNode(function, GetNullGUID());
            } catch (const GraphException&) {
                continue; // a pin id clashed
            }
            otherEntries[id].push_back(other.GetDefaultExecutionSubgraphID());
            other.GetNodes().at(id)->SetDisabled(choices.Chance(20));
            other.SetDirty(id, choices.Chance(30));
            if (choices.Chance(30)) {
                const GUID subgraph = SubgraphPool()[choices.Below(3)];
                other.AssignNodeToExecutionSubgraphs(id, subgraph);
                otherEntries[id].push_back(subgraph);
            }
        }
        const HistorySnapshot built(other);
        for (const auto& [id, pin] : built.pins) {
            if (choices.Chance(40)) {
                other.PutDataOnPin(
                    id, MakeValue(KindOfType(pin.type), static_cast<int>(choices.Below(1000))));
            }
            if (!pin.output && choices.Chance(50)) {
                for (const auto& [from, source] : built.pins) {
                    if (source.output && source.owner != pin.owner && choices.Chance(50)) {
                        other.LinkPins(from, id);
                        break;
                    }
                }
            }
        }
        if (choices.Chance(15)) {
            const GUID absent =
                NodePool()[choices.Below(static_cast<std::uint32_t>(NodePool().size()))];
            if (built.nodes.count(absent) == 0) {
                other.AssignNodeToExecutionSubgraphs(absent, SubgraphPool()[0]);
                otherEntries[absent].push_back(SubgraphPool()[0]);
            }
        }
    }
    const HistorySnapshot source(other);
    Expectation expectation;
    if (!source.nodes.empty() && choices.Chance(10)) {
        context->failingClone = source.nodes.begin()->first;
        expectation = Expectation::Refused(Outcome::Kind::HostError, "clone refused");
    } else {
        expectation.edits.push_back(Edit(Edit::Kind::Assigned));
        expectation.notices.push_back(Notice("GraphAssigned", {}));
        expectation.model = [this, &otherEntries] { entries = otherEntries; };
    }
    Perform("graph = another graph of " + std::to_string(source.nodes.size()) + " nodes",
            std::move(expectation), [&] { *graph = other; });
    context->failingClone = GUID();
    if (!Difference(source, HistorySnapshot(other)).empty()) {
        Fail("assigning a graph changed the graph assigned");
    }
}

// Transactions, traversals, undo and redo.

void HistoryHarness::Transaction(int depth) {
    Note(depth == 0 ? "Transaction {" : "inner Transaction {");
    ++(depth == 0 ? totals.transactions : totals.nestedTransactions);
    const bool abandon = choices.Chance(15);
    if (depth == 0) {
        stepEpoch = epoch;
    }
    try {
        EditHistory::Transaction scope(*history);
        ++openTransactions;

        struct Closing {
            int& open;

            ~Closing() { --open; }
        } closing{openTransactions};

        const std::uint32_t count = 1 + choices.Below(5);
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint32_t roll = choices.Below(100);
            if (roll < 75) {
                RandomEdit();
            } else if (roll < 83 && depth < 2) {
                Transaction(depth + 1);
            } else if (roll < 91) {
                Traversal();
            } else {
                // Undo and Redo are refused while a transaction is open.
                const bool redo = choices.Chance(50);
                Note(redo ? "Redo() in a transaction" : "Undo() in a transaction");
                const Outcome outcome = Capture([&] { redo ? history->Redo() : history->Undo(); });
                const HistorySnapshot after(*graph);
                if (outcome.kind != Outcome::Kind::GraphException ||
                    !Difference(*current, after).empty() || !recorder->Take().empty() ||
                    history->CanUndo() || history->CanRedo()) {
                    Fail("Undo or Redo in an open transaction was not refused cleanly");
                }
                ++totals.transactionRefusals;
            }
        }
        if (abandon) {
            Note("throw");
            throw HistoryHostError("abandoned");
        }
    } catch (const HistoryHostError&) {
        ++totals.abandonedTransactions; // what was done stays done and makes one step
    }
    Note("}");
    if (openTransactions == 0) {
        if (!pending.empty()) {
            CloseStep();
        }
        CheckCounts("after the transaction");
    }
}

void HistoryHarness::ExecuteNode() {
    // Node::Execute outside a traversal writes the outputs as a traversal does: no step, and
    // one notice, also when the run raises.
    if (current->nodes.empty()) {
        return;
    }
    auto node = current->nodes.begin();
    std::advance(node, choices.Below(static_cast<std::uint32_t>(current->nodes.size())));
    const GUID nodeId = node->first;
    Note("GetTraversableNode(" + ShortName(nodeId) + ").Execute()");
    const std::size_t undoable = history->UndoCount();
    const std::size_t redoable = history->RedoCount();
    recorder->Take();
    const Outcome outcome = Capture([&] { graph->GetTraversableNode(nodeId).Execute(); });
    HistorySnapshot after(*graph);
    const std::vector<std::string> heard = recorder->Take();
    totals.notices += static_cast<long>(heard.size());
    ++totals.executions;
    // The host may have taken an output pin of the schema away, or made another of its id and
    // another type.
    if (outcome.kind != Outcome::Kind::None &&
        !(outcome.kind == Outcome::Kind::GraphException &&
          (outcome.message == "Could not find the indicated output pin." ||
           outcome.message == "Data value has incorrect type"))) {
        Fail(std::string("ended with ") + KindName(outcome.kind) + " " + outcome.message);
    }
    if (heard != std::vector<std::string>{Notice("NodeExecuted", {nodeId})}) {
        Fail("the run was not heard as one NodeExecuted");
    }
    if (const std::string difference = Difference(*current, after, false); !difference.empty()) {
        Fail("running a node changed the structure: " + difference);
    }
    if (history->UndoCount() != undoable || history->RedoCount() != redoable) {
        Fail("running a node changed the history's lists");
    }
    if (!Difference(*current, after).empty()) {
        ++epoch;
    }
    current.emplace(std::move(after));
    Refresh(*current);
    CheckGraph("after the run", *current);
}

void HistoryHarness::Traversal() {
    if (choices.Chance(15)) {
        return ExecuteNode();
    }
    const GUID subgraph = choices.Chance(60) ? current->defaultSubgraph : PickSubgraph();
    const bool changed = choices.Chance(50);
    const bool throwing = !current->nodes.empty() && choices.Chance(5);
    if (throwing) {
        auto node = current->nodes.begin();
        std::advance(node, choices.Below(static_cast<std::uint32_t>(current->nodes.size())));
        context->throwingNode = node->first;
    }
    const bool equivalence = changed && !throwing && choices.Chance(35);
    std::unique_ptr<Graph> copy = equivalence ? std::make_unique<Graph>(*graph) : nullptr;
    context->probeHistory = choices.Chance(20);
    Note(std::string(changed ? "TraverseChanged(" : "Traverse(") + ShortName(subgraph) + ")" +
         (throwing ? " with " + ShortName(context->throwingNode) + " failing" : "") +
         (context->probeHistory ? ", its nodes trying Undo and Redo" : ""));
    const std::size_t undoable = history->UndoCount();
    const std::size_t redoable = history->RedoCount();
    const long refusalsBefore = context->historyRefusals;
    recorder->Take();
    const Outcome outcome = Capture([&] {
        if (changed) {
            graph->TraverseChanged(subgraph);
        } else if (subgraph == current->defaultSubgraph && choices.Chance(50)) {
            graph->Traverse();
        } else {
            graph->Traverse(subgraph);
        }
    });
    context->probeHistory = false;
    context->throwingNode = GUID();
    HistorySnapshot after(*graph);
    const std::vector<std::string> heard = recorder->Take();
    totals.notices += static_cast<long>(heard.size());
    ++totals.traversals;
    totals.traversalRefusals += context->historyRefusals - refusalsBefore;
    if (context->historyAccepted != 0) {
        Fail("a node function could undo or redo during the traversal");
    }
    if (outcome.kind == Outcome::Kind::GraphException) {
        if (!current->cyclic || !Difference(*current, after).empty() || !heard.empty()) {
            Fail("a traversal was refused without a cycle, or changed or told something: " +
                 outcome.message);
        }
        ++totals.traversalsRefused;
    } else {
        if (outcome.kind != Outcome::Kind::None &&
            !(throwing && outcome.kind == Outcome::Kind::HostError)) {
            Fail(std::string("a traversal ended with ") + KindName(outcome.kind) + " " +
                 outcome.message);
        }
        totals.traversalsFailed += outcome.kind == Outcome::Kind::HostError ? 1 : 0;
        if (heard != std::vector<std::string>{Notice("TraversalFinished", {subgraph})}) {
            Fail("a traversal was not heard as one TraversalFinished: " +
                 (heard.empty() ? std::string("nothing") : heard.front()));
        }
    }
    if (const std::string difference = Difference(*current, after, false); !difference.empty()) {
        Fail("a traversal changed the structure: " + difference);
    }
    if (history->UndoCount() != undoable || history->RedoCount() != redoable) {
        Fail("a traversal changed the history's lists");
    }
    if (copy && outcome.kind == Outcome::Kind::None) {
        // What TraverseChanged left must be what a full traversal of a copy leaves.
        copy->Traverse(subgraph);
        const HistorySnapshot full(*copy);
        for (const auto& [id, pin] : after.pins) {
            const PinView& other = full.pins.at(id);
            const auto content = [](const PinData& data) {
                return data.value != nullptr ? static_cast<const ModelValue*>(data.value)->Content()
                                             : -1;
            };
            if (content(pin.data) != content(other.data) || pin.data.mark != other.data.mark) {
                Fail("TraverseChanged left pin " + ShortName(id) +
                     " otherwise than Traverse leaves it on a copy");
            }
        }
        ++totals.equivalenceChecks;
    }
    if (!Difference(*current, after).empty()) {
        ++epoch; // the recorded snapshots now differ in what the traversal wrote
    }
    current.emplace(std::move(after));
    Refresh(*current);
    CheckGraph("after the traversal", *current);
}

std::string HistoryHarness::Describe(const std::vector<Edit>& step) {
    static const char* const kinds[] = {
        "NodeMade",    "NodeDestroyed", "EntriesRemoved", "PinMade",    "PinDestroyed", "LinkMade",
        "LinkRemoved", "Write",         "Flag",           "EntryAdded", "Cleared",      "Assigned"};
    std::string text = "a step of";
    for (const Edit& edit : step) {
        text += std::string(" ") + kinds[static_cast<int>(edit.kind)] + "(" +
                ShortName(edit.first) + " " + ShortName(edit.second) + ")";
    }
    return text;
}

bool HistoryHarness::InjectFailures(bool redo) {
    if (!choices.Chance(static_cast<std::uint32_t>(injectPercent))) {
        return false;
    }
    ++totals.injectedUndoRedos;
    const std::size_t undoable = history->UndoCount();
    const std::size_t redoable = history->RedoCount();
    for (long n = 0;; ++n) {
        recorder->Take();
        allocation::FailAfter(n);
        const Outcome outcome = Capture([&] { redo ? history->Redo() : history->Undo(); });
        const bool fired = allocation::Remaining() < 0;
        allocation::FailAfter(-1);
        if (outcome.kind == Outcome::Kind::None) {
            if (fired) {
                Fail("allocation " + std::to_string(n) + " failed but the " +
                     (redo ? "redo" : "undo") + " went on as if not");
            }
            return true; // this was the real one
        }
        if (outcome.kind != Outcome::Kind::BadAlloc) {
            Fail("with allocation " + std::to_string(n) + " failing, " + (redo ? "Redo" : "Undo") +
                 " raised " + KindName(outcome.kind));
        }
        ++totals.allocationFailurePoints;
        const HistorySnapshot after(*graph);
        if (const std::string difference = Difference(*current, after); !difference.empty()) {
            Fail("a " + std::string(redo ? "redo" : "undo") + " that ran out of memory at " +
                 std::to_string(n) + " changed the graph: " + difference +
                 ", the step: " + Describe(states[redo ? position + 1 : position].step));
        }
        if (!recorder->Take().empty() || history->UndoCount() != undoable ||
            history->RedoCount() != redoable) {
            Fail("a " + std::string(redo ? "redo" : "undo") + " that ran out of memory at " +
                 std::to_string(n) + " was heard or changed the lists");
        }
        CheckGraph("after a failed allocation", after);
    }
}

void HistoryHarness::Undo(bool redo) {
    const std::string name = redo ? "Redo()" : "Undo()";
    Note(name);
    const bool nothing = redo ? position + 1 == states.size() : position == 0;
    if (nothing) {
        recorder->Take();
        const Outcome outcome = Capture([&] { redo ? history->Redo() : history->Undo(); });
        if (outcome.kind != Outcome::Kind::GraphException ||
            !Difference(*current, HistorySnapshot(*graph)).empty() || !recorder->Take().empty()) {
            Fail("with nothing to do, it was not refused cleanly");
        }
        CheckCounts("after a refused " + name);
        ++totals.emptyRefusals;
        return;
    }
    const State& target = states[redo ? position + 1 : position - 1];
    const std::vector<Edit>& step = redo ? target.step : states[position].step;
    std::map<const Pin*, PinData> data = pinData;
    std::map<const Node*, NodeFlags> flags = nodeFlags;
    std::vector<std::vector<std::string>> expectedNotices; // one group per change
    auto replay = [&](const Edit& edit) {
        expectedNotices.push_back(Canonical(edit.Replay(!redo, data, flags)));
    };
    if (redo) {
        std::for_each(step.begin(), step.end(), replay);
    } else {
        std::for_each(step.rbegin(), step.rend(), replay);
    }
    const HistorySnapshot expected = target.snapshot.WithData(data, flags);

    if (!InjectFailures(redo)) {
        recorder->Take();
        const Outcome outcome = Capture([&] { redo ? history->Redo() : history->Undo(); });
        if (outcome.kind != Outcome::Kind::None) {
            Fail(std::string("raised ") + KindName(outcome.kind) + " " + outcome.message);
        }
    }
    ++(redo ? totals.redos : totals.undos);
    HistorySnapshot after(*graph);
    if (const std::string difference = Difference(expected, after); !difference.empty()) {
        Fail("the graph is not as recorded: " + difference);
    }
    // Exactly as recorded, values included, when no traversal has changed anything since the
    // oldest state the history keeps was recorded, nor while a step was made, and no undo or
    // redo since the last such traversal went across one: then every value changed since was
    // written by the steps, which undo and redo put back exactly.
    const bool sameEpoch = std::all_of(states.begin(), states.end(), [this](const State& state) {
        return state.epoch == epoch && state.clean;
    });
    if (!sameEpoch) {
        crossedEpoch = epoch;
    }
    if (sameEpoch && crossedEpoch != epoch) {
        if (const std::string difference = Difference(target.snapshot, after);
            !difference.empty()) {
            std::string epochs;
            for (const State& state : states) {
                epochs += " " + std::to_string(state.epoch) + (state.clean ? "" : "*");
            }
            Fail("the graph is not exactly as recorded: " + difference + " (epochs" + epochs +
                 ", now " + std::to_string(epoch) + ", at " + std::to_string(position) + ")");
        }
        ++totals.exactComparisons;
    }
    position = redo ? position + 1 : position - 1;
    const std::vector<std::pair<std::size_t, std::size_t>> counts = recorder->counts;
    const std::vector<std::string> heard = recorder->Take();
    totals.notices += static_cast<long>(heard.size());
    const std::size_t undoable = position;
    const std::size_t redoable = states.size() - 1 - position;
    for (const auto& [u, r] : counts) {
        if (u != undoable || r != redoable) {
            Fail("the observer heard the change before both lists were updated");
        }
    }
    // The notices, change by change, each with its link notices in a fixed order.
    std::vector<std::string> flatExpected;
    std::vector<std::string> flatHeard;
    std::size_t at = 0;
    for (const std::vector<std::string>& group : expectedNotices) {
        flatExpected.insert(flatExpected.end(), group.begin(), group.end());
        const std::size_t end = std::min(heard.size(), at + group.size());
        const std::vector<std::string> chunk =
            Canonical(std::vector<std::string>(heard.begin() + static_cast<std::ptrdiff_t>(at),
                                               heard.begin() + static_cast<std::ptrdiff_t>(end)));
        flatHeard.insert(flatHeard.end(), chunk.begin(), chunk.end());
        at = end;
    }
    flatHeard.insert(flatHeard.end(), heard.begin() + static_cast<std::ptrdiff_t>(at), heard.end());
    if (flatHeard != flatExpected) {
        std::string text = "the observer heard";
        for (const std::string& line : heard) {
            text += " [" + line + "]";
        }
        text += " instead of";
        for (const std::string& line : flatExpected) {
            text += " [" + line + "]";
        }
        Fail(text);
    }
    entries = target.entries;
    pinData = std::move(data); // what the pins that left hold too
    nodeFlags = std::move(flags);
    current.emplace(std::move(after));
    Refresh(*current);
    CheckCounts("after " + name);
    CheckGraph("after " + name, *current);
}

void HistoryHarness::SetLimit() {
    const std::size_t steps = choices.Below(7);
    Note("SetLimit(" + std::to_string(steps) + ")");
    history->SetLimit(steps);
    limit = steps;
    if (limit != 0 && position > limit) {
        states.erase(states.begin(),
                     states.begin() + static_cast<std::ptrdiff_t>(position - limit));
        position = limit;
    }
    ++totals.limits;
    CheckCounts("after SetLimit");
}

void HistoryHarness::ForgetHistory() {
    Note("EditHistory::Clear()");
    history->Clear();
    states.clear();
    states.push_back(State{*current, entries, {}, epoch});
    position = 0;
    CheckCounts("after EditHistory::Clear");
    if (!Difference(*current, HistorySnapshot(*graph)).empty() || !recorder->Take().empty()) {
        Fail("forgetting the history changed the graph or was heard");
    }
    // What the steps held is released: the graph's own objects are all that is left.
    std::set<const IDataValue*> values;
    for (const auto& pin : current->pins) {
        if (pin.second.data.value != nullptr) {
            values.insert(pin.second.data.value);
        }
    }
    if (HistoryFunction::Live() != static_cast<long>(current->nodes.size()) ||
        ModelValue::LiveCount() != static_cast<long>(values.size())) {
        Fail("the forgotten steps still hold " +
             std::to_string(HistoryFunction::Live() - static_cast<long>(current->nodes.size())) +
             " node functions and " +
             std::to_string(ModelValue::LiveCount() - static_cast<long>(values.size())) +
             " values");
    }
}

void HistoryHarness::ReplaceHistory() {
    Note("a new EditHistory");
    if (Capture([&] { EditHistory second(*graph); }).kind != Outcome::Kind::GraphException) {
        Fail("a second history was attached to the graph");
    }
    history.reset();
    history = std::make_unique<EditHistory>(*graph);
    history->SetLimit(limit);
    context->history = history.get();
    recorder->history = history.get();
    states.clear();
    states.push_back(State{*current, entries, {}, epoch});
    position = 0;
    CheckCounts("after a new history");
    if (!Difference(*current, HistorySnapshot(*graph)).empty() || !recorder->Take().empty()) {
        Fail("replacing the history changed the graph or was heard");
    }
}

void HistoryHarness::Step() {
    ++totals.steps;
    const std::uint32_t roll = choices.Below(1000);
    if (roll < 560) {
        RandomEdit();
    } else if (roll < 640) {
        Transaction(0);
    } else if (roll < 720) {
        Traversal();
    } else if (roll < 960) {
        // Mostly when there is something to do; now and then with nothing, which is refused.
        const bool redo = roll >= 840;
        const bool nothing = redo ? position + 1 == states.size() : position == 0;
        if (nothing && !choices.Chance(15)) {
            return RandomEdit();
        }
        for (std::uint32_t k = 1 + choices.Below(3); k > 0; --k) {
            Undo(redo);
        }
    } else if (roll < 985) {
        SetLimit();
    } else if (roll < 995) {
        ForgetHistory();
    } else {
        ReplaceHistory();
    }
}

} // namespace datagraph::reliability
