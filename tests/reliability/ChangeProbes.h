#pragma once

// The node functions of the TraverseChanged equivalence suite. Their outputs depend only on the
// contents of the inputs they receive (and, for "external" functions, on one int outside the
// graph that the harness announces with MarkChanged), yet their identity varies: a function
// makes new value objects, hands an input object through or returns the object it returned last
// time. Each function carries a probe that counts its calls and, in the graph driven by
// TraverseChanged, checks that every call had a reason: a first call, a changed input object, a
// failed previous call, or a touch the harness announced.

#include <datagraph/Graph.h>
#include <datagraph/IDataValue.h>
#include <datagraph/INodeFunction.h>
#include <datagraph/UbernodeNodeFunction.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

namespace datagraph::reliability {

/// The suite's one value type: an int, compared by content across the two graphs.
class Number : public IDataValue {
public:
    explicit Number(int content)
        : content(content) {}

    std::unique_ptr<IDataValue> Clone() const override { return std::make_unique<Number>(content); }

    const std::type_info& GetType() const override { return typeid(Number); }

    int Content() const { return content; }

private:
    int content;
};

/// Raised by functions whose behaviour says so; deliberately not a GraphException.
struct HostFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// What one graph's functions report to the harness.
struct Ledger {
    long executions = 0;                 // calls of the functions of the top graph
    std::vector<std::string> called;     // their names, since the harness last cleared it
    std::vector<std::string> violations; // calls that had no reason
};

/// The harness's side of one function object. Clones get a probe of their own, starting fresh.
struct Probe {
    Ledger* ledger = nullptr;
    bool top = false;     // a node of the twin's top graph
    bool checked = false; // every call must have a reason
    bool emulate = false; // a checked call without a reason writes nothing instead
    bool fresh = true;    // not called since the function was made
    bool touched = false; // the host touched the node since the last call
    // An input pin held another object, between runs, since the last call: the node then runs
    // again even if the pin holds the object of the last call once more.
    bool sawOtherInputs = false;
    bool lastFailed = false;
    DataMap lastInputs;
    std::vector<GUID> outputs; // the node's output pins that the function writes
    Graph* inner = nullptr;    // an ubernode's inner graph

    /// Notes what the node's input pins hold between runs.
    void SawInputs(const DataMap& inputs);

    /// Whether a call with these inputs would have a reason: a first call, a touch, a failed
    /// previous call or an input object that is not the one of the last call.
    bool HasReason(const DataMap& inputs) const;

    /// Whether the call has a reason; a checked call without one is recorded as a violation
    /// unless emulating. Remembers the call's inputs.
    bool Called(const std::string& nodeName, const DataMap& inputs);
};

/// Implemented by both kinds of function of the suite.
class Probed {
public:
    virtual ~Probed() = default;
    Probed() = default;
    Probed(const Probed&) = default;
    Probed& operator=(const Probed&) = default;

    virtual Probe& GetProbe() const = 0;
};

/// The probe of a node of the suite, or null for a foreign function.
Probe* ProbeOf(const Node& node);

enum class OutputMode {
    Compute,     // a new object whose content derives from the inputs
    PassThrough, // the very object on the chosen input when it has one, else as Compute
    Memo,        // few contents; the object returned last time when the content repeats
};

/// Fixed at creation and shared by clones.
struct Behaviour {
    GUID id;
    std::string name;
    std::vector<GUID> inputs;
    std::vector<GUID> outputs;
    std::vector<OutputMode> modes; // one per output of the schema
    std::uint32_t salt = 0;
    std::uint32_t failEvery = 0;     // GraphException when the digest is a multiple
    std::uint32_t hostFailEvery = 0; // HostFailure when the digest is a multiple
    std::uint32_t omitEvery = 0;     // no outputs at all when the digest is a multiple
    const int* external = nullptr;   // read on every call when set
};

class ProbedFunction : public INodeFunction, public Probed {
public:
    explicit ProbedFunction(std::shared_ptr<const Behaviour> behaviour);
    ProbedFunction(const ProbedFunction& other);
    ProbedFunction& operator=(const ProbedFunction&) = delete;
    ~ProbedFunction() override;

    Probe& GetProbe() const override { return *probe; }

    const Behaviour& GetBehaviour() const { return *behaviour; }

    std::shared_ptr<INodeFunction> Clone() const override;
    DataMap Execute(const DataMap& inputs) override;

    std::string GetName() const override { return behaviour->name; }

    std::string GetDescription() const override { return {}; }

    GUID GetId() const override { return behaviour->id; }

    std::string GetInputOrOutputName(const GUID&) const override { return {}; }

    std::string GetInputOrOutputDescription(const GUID&) const override { return {}; }

    Schema GetInputSchema() const override;
    Schema GetOutputSchema() const override;

    std::string GetClassIdentifier() const override { return "probed"; }

private:
    std::uint32_t Digest(const DataMap& inputs) const;
    std::shared_ptr<const IDataValue> Output(std::size_t k, std::uint32_t digest,
                                             const DataMap& inputs);

    std::shared_ptr<const Behaviour> behaviour;
    std::shared_ptr<Probe> probe;
    std::vector<std::shared_ptr<const IDataValue>> memo;
};

class ProbedUbernode : public UbernodeNodeFunction, public Probed {
public:
    ProbedUbernode(std::shared_ptr<Graph> graph, const Schema& inputSchema,
                   const Schema& outputSchema, const std::string& name, GUID id);
    ProbedUbernode(const ProbedUbernode& other);
    ProbedUbernode& operator=(const ProbedUbernode&) = delete;
    ~ProbedUbernode() override;

    Probe& GetProbe() const override { return *probe; }

    std::shared_ptr<INodeFunction> Clone() const override;
    DataMap Execute(const DataMap& inputs) override;

private:
    std::shared_ptr<Probe> probe;
};

/// The content of a value of the suite; -1 for an empty pointer, -2 for a foreign value.
int ContentOf(const IDataValue* value);

} // namespace datagraph::reliability
