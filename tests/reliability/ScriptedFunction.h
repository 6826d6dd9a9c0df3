#pragma once

// A node function driven by a script that both the real graph and the model can run: its schemas,
// what it does when executed (return outputs computed from its inputs, throw, destroy its own
// node or another, clear its graph, ask its own graph to traverse) and whether Clone() yields
// nothing. Every execution is
// written to a shared trace together with the pin states the function saw, so that a model can
// follow a traversal whose order the graph chooses.

#include "FaultPlan.h"
#include "ModelValues.h"

#include <datagraph/Graph.h>
#include <datagraph/INodeFunction.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace datagraph::reliability {

/// Raised by scripted functions; deliberately not a GraphException.
struct ScriptedHostError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class Action {
    Return,
    ThrowGraphException,
    ThrowHostError,
    DestroyOwnNode,
    DestroyAnotherNode, // the script's target, whatever it names
    ClearOwnGraph,
    TraverseOwnGraphAndCatch,
    TraverseOwnGraphAndRethrow,
};

struct FunctionScript;

/// Host code installed on a function after it was made, run by the function and by every clone
/// of it (they share the script). Execute runs its hook before the script's action; Clone runs
/// its hook first, on the graph being copied.
struct HostileHooks {
    enum class OnExecute {
        None,
        CreateNode,  // a pinless node `executeTarget` of `spawned`, in the default subgraph
        WritePin,    // `written` to pin `executeTarget` when that pin is the node's own or one
                     // of a node it feeds
        DestroyNode, // `executeTarget`, whatever it names
    };
    enum class OnClone {
        None,
        DestroyOwnNode,
        DestroyNode,   // `cloneTarget`, whatever it names
        AssignToGraph, // an empty graph to the graph being copied
    };

    OnExecute onExecute = OnExecute::None;
    GUID executeTarget;
    std::shared_ptr<const IDataValue> written;
    std::shared_ptr<const FunctionScript> spawned;
    OnClone onClone = OnClone::None;
    GUID cloneTarget;
};

/// One output entry: a fixed value (possibly empty) or the value found on an input.
struct OutputRule {
    GUID pin;
    std::shared_ptr<const IDataValue> value;
    bool fromInput = false;
    GUID input;
};

struct FunctionScript {
    GUID id;
    std::string name;
    std::vector<std::pair<GUID, ValueKind>> inputs;
    std::vector<std::pair<GUID, ValueKind>> outputs;
    Action action = Action::Return;
    std::vector<OutputRule> rules;
    bool cloneReturnsNothing = false;
    GUID target; // for DestroyAnotherNode
    /// Installed later by the harness; the script stays shared and const otherwise.
    mutable HostileHooks hooks;

    /// The outputs the function returns for these inputs.
    DataMap Outputs(const DataMap& inputs) const;

    /// What a GraphException thrown by the script says.
    std::string FailureMessage() const { return "scripted failure of " + name; }
};

/// The value and updated-data mark of every pin of a graph, one entry per pin id in id order.
/// Read at every execution of a scripted function, so it is one flat array.
class PinStates {
public:
    struct State {
        GUID pin;
        const IDataValue* value;
        bool mark;
    };

    /// Takes the states in any order; of two for the same pin the later one counts.
    explicit PinStates(std::vector<State> states = {});

    std::size_t size() const { return states.size(); }

    /// Null when the pin has no state here.
    const State* Find(const GUID& pin) const;

private:
    std::vector<State> states;
};

PinStates ReadPinStates(const Graph& graph);

struct TraceEntry {
    GUID node;
    DataMap inputs;
    PinStates pins;         // as the function found them when it was called
    std::string nested;     // what its own graph answered to Traverse, for the traversing actions
    bool nestedRan = false; // the nested Traverse returned normally
    const INodeFunction* spawned = nullptr; // made by a CreateNode hook
    bool hookWrote = false;                 // a WritePin hook's write went through
};

/// A Clone hook that ran, in the order they ran.
struct CloneEvent {
    GUID node;
    std::string refusal; // what the graph answered an AssignToGraph hook
};

/// Shared by every scripted function of a harness: the graph being run and the trace.
struct ExecutionContext {
    Graph* graph = nullptr; // also the graph being copied, for Clone hooks
    std::vector<TraceEntry> trace;
    std::vector<CloneEvent> clones;
};

class ScriptedFunction : public INodeFunction {
public:
    ScriptedFunction(std::shared_ptr<const FunctionScript> script,
                     std::shared_ptr<ExecutionContext> context);
    ScriptedFunction(const ScriptedFunction& other);
    ScriptedFunction& operator=(const ScriptedFunction&) = delete;
    ~ScriptedFunction() override;

    /// Functions alive right now, clones included.
    static long& LiveCount();

    const FunctionScript& Script() const { return *script; }

    const std::shared_ptr<const FunctionScript>& SharedScript() const { return script; }

    std::shared_ptr<INodeFunction> Clone() const override;
    DataMap Execute(const DataMap& inputs) override;

    std::string GetName() const override { return script->name; }

    std::string GetDescription() const override { return "about " + script->name; }

    GUID GetId() const override;

    std::string GetInputOrOutputName(const GUID& pinId) const override {
        return script->name + " pin " + GUIDToString(pinId);
    }

    std::string GetInputOrOutputDescription(const GUID& pinId) const override {
        return "about " + script->name + " pin " + GUIDToString(pinId);
    }

    Schema GetInputSchema() const override;
    Schema GetOutputSchema() const override;

    std::string GetClassIdentifier() const override { return "scripted"; }

private:
    void RunCloneHook() const;
    void RunExecuteHook(Graph& graph, std::size_t index);

    std::shared_ptr<const FunctionScript> script;
    std::shared_ptr<ExecutionContext> context;
};

} // namespace datagraph::reliability
