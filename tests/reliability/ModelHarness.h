#pragma once

// Runs random operation sequences over the whole public API on two real graphs and on their
// models side by side. After every operation each query of both graphs is compared with its
// model; a refused request must raise exactly the documented exception and change nothing beyond
// what is documented. Any difference raises ModelMismatch, whose text names the operation.

#include "ChoiceSource.h"
#include "GraphModel.h"
#include "ScriptedFunction.h"

#include <datagraph/Graph.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace datagraph::reliability {

class FewIds;

struct ModelMismatch : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct HarnessTotals {
    long operations = 0;
    long refusals = 0;         // refused requests whose exception and state were checked
    long absorbedFailures = 0; // node failures a traversal caught, logged and went past
    long traversals = 0;
    long traversalsRefused = 0; // by the topological order
    long nodeExecutions = 0;
    long queriesCompared = 0;
    long hostileCallbacks = 0; // host callbacks that edited (or tried to edit) their graph

    HarnessTotals& operator+=(const HarnessTotals& other);
};

/// What a call ended with.
struct Outcome {
    enum class Kind { None, GraphException, OutOfRange, HostError, BadFunctionCall, Other };

    Kind kind = Kind::None;
    std::string message;
};

class ModelHarness {
public:
    explicit ModelHarness(ChoiceSource& choices);
    ~ModelHarness();
    ModelHarness(const ModelHarness&) = delete;
    ModelHarness& operator=(const ModelHarness&) = delete;

    /// One random operation, then the comparison of the graphs it touched with their models.
    void Step();

    /// Compares both graphs with their models.
    void CompareEverything();

    /// Whether Step compares every query after each operation (the default) or leaves that to
    /// CompareEverything; the outcome of each operation is checked either way.
    void CompareAfterEachStep(bool compare) { compareEachStep = compare; }

    const HarnessTotals& Totals() const { return totals; }

    /// One line per operation so far, to reproduce a failure by hand. The lines are formatted
    /// only here: most runs never ask for them.
    std::vector<std::string> Log() const;

    std::vector<const Graph*> Graphs() const;

    /// A readable name for an id of the harness's pools.
    static std::string Name(const GUID& id);

    /// The ids the operations choose from; they are the same for every seed.
    static const std::vector<GUID>& NodePool();
    static const std::vector<GUID>& PinPool();

private:
    struct Slot {
        std::shared_ptr<Graph> graph;
        GraphModel model;
    };

    struct PendingPin {
        GUID pin;
        ModelPin before;
        std::shared_ptr<const IDataValue> written;
    };

    enum class StepKind { Done, Failed, HostAbort };

    struct StepResult {
        StepKind kind = StepKind::Done;
        std::set<std::string> messages;
    };

    // Operations (ModelHarness.cpp).
    void CreateNode(Slot& slot);
    void DestroyNode(Slot& slot);
    void CreatePin(Slot& slot);
    void DestroyPin(Slot& slot);
    void LinkPins(Slot& slot);
    void UnlinkPins(Slot& slot);
    void UnlinkInputPin(Slot& slot);
    void PutData(Slot& slot);
    void SetMark(Slot& slot);
    void SetNodeFlag(Slot& slot);
    void AssignSubgraph(Slot& slot);
    void FindNodes(Slot& slot);
    void Clear(Slot& slot);
    void ResetGraph(Slot& slot);
    void CopyGraph(std::size_t from, std::size_t to);
    void AssignGraph(std::size_t from, std::size_t to);
    void Traverse(Slot& slot);
    void ExecuteNode(Slot& slot);

    // Host callbacks that edit the graph calling them (ModelHostile.cpp).
    void Hostile(std::size_t index);
    void WriteValueWhoseTypeCheckDestroys(Slot& slot);
    void WriteValueWhoseDestructorDestroys(std::size_t index);
    void InstallExecuteHook(Slot& slot);
    void InstallCloneHook(Slot& slot);
    /// Applies to the model of the graph being copied what the Clone hooks that ran did; true
    /// when they changed that graph (or tried to), which fails the copy.
    bool FollowCloneHooks(GraphModel& source);
    /// After a copy that no hook stopped: every hooked node of the source ran its hook once.
    void CheckCloneHooksRan(const GraphModel& source);
    /// Follows the Execute hook of a traced node function, before its action.
    void FollowExecuteHook(GraphModel& model, const TraceEntry& entry,
                           const FunctionScript& script);
    /// Binds the model's nodes that a hook made to the graph's node objects.
    void BindMadeNodes(Slot& slot);

    // Choosing arguments (ModelHarness.cpp).
    std::shared_ptr<INodeFunction> NewFunction(const Slot& slot);
    std::shared_ptr<const IDataValue> ValueFor(const std::type_info& pinType);
    GUID PickNode(const Slot& slot, std::uint32_t existingPercent);
    GUID PickPin(const Slot& slot, std::uint32_t existingPercent);
    GUID PickFreePin(const Slot& slot, const FewIds& taken);
    GUID PickSubgraph();
    std::pair<GUID, GUID> PickLink(const GraphModel& model);

    // Expectations (ModelChecks.cpp).
    void Expect(const Outcome& actual, Outcome::Kind kind, std::string_view message = {});
    void ExpectOneOf(const Outcome& actual, Outcome::Kind kind,
                     const std::set<std::string>& messages);
    void Check(bool condition, const char* what) const;
    void Check(bool condition, const char* what, const GUID& id) const;
    void CompareAll(const Slot& slot, bool withAbsentIds);
    void ComparePins(const Slot& slot, bool withAbsentIds);
    void CompareNodes(const Slot& slot, bool withAbsentIds);
    void CompareOrder(const Slot& slot);
    void CheckPinStates(const GraphModel& model, const PinStates& states) const;
    /// The model of a copy of `source`, bound to the new objects of `copy` after checking them.
    GraphModel BindCopy(const GraphModel& source, const Graph& copy);

    // Following node executions (ModelTraversal.cpp).
    Outcome FollowTraversal(GraphModel& model, const GUID& subgraph, const PinStates& finalPins,
                            long& absorbed);
    StepResult RunTracedNode(GraphModel& model, std::size_t index, const PinStates& finalPins,
                             bool inTraversal);
    StepResult ApplyOutputs(GraphModel& model, const GUID& node, const DataMap& outputs,
                            const PinStates& observed);
    StepResult MoveDownstream(GraphModel& model, const GUID& node, const PinStates& observed);
    void Resolve(GraphModel& model, const std::vector<PendingPin>& pending,
                 const PinStates& observed);

    /// Notes the current operation; `describe` says what it was when the log is asked for, so
    /// it must capture by value.
    template <typename Describe> void Record(Describe describe) {
        log.push_back({totals.operations, std::move(describe)});
    }

    ChoiceSource& choices;
    std::vector<Slot> slots;
    std::shared_ptr<ExecutionContext> context;
    std::map<const INodeFunction*, std::shared_ptr<INodeFunction>> createdFunctions;
    std::vector<std::shared_ptr<const IDataValue>> recentValues;
    HarnessTotals totals;

    struct LogEntry {
        long operation;
        std::function<std::string()> describe;
    };

    std::vector<LogEntry> log;
    int nextContent = 1;
    bool compareEachStep = true;
};

/// Runs the call and tells how it ended. A template rather than a std::function: most calls'
/// closures would not fit a std::function's own room, and this runs for every operation.
template <typename Call> Outcome Capture(Call&& call) {
    try {
        call();
        return {};
    } catch (const GraphException& e) {
        return {Outcome::Kind::GraphException, e.what()};
    } catch (const std::out_of_range& e) {
        return {Outcome::Kind::OutOfRange, e.what()};
    } catch (const ScriptedHostError& e) {
        return {Outcome::Kind::HostError, e.what()};
    } catch (const std::bad_function_call& e) {
        return {Outcome::Kind::BadFunctionCall, e.what()};
    } catch (const std::exception& e) {
        return {Outcome::Kind::Other, e.what()};
    }
}

} // namespace datagraph::reliability
