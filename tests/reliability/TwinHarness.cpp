#include "TwinHarness.h"

#include <datagraph/Node.h>
#include <datagraph/Pin.h>

#include <algorithm>

namespace datagraph::reliability {

TwinTotals& TwinTotals::operator+=(const TwinTotals& other) {
    sequences += other.sequences;
    edits += other.edits;
    nestedEdits += other.nestedEdits;
    runs += other.runs;
    refusedRuns += other.refusedRuns;
    hostFailures += other.hostFailures;
    nestedTwice += other.nestedTwice;
    failuresCompared += other.failuresCompared;
    fullExecutions += other.fullExecutions;
    changedExecutions += other.changedExecutions;
    violations += other.violations;
    return *this;
}

TwinHarness::TwinHarness(std::uint32_t seed, bool emulate)
    : emulate(emulate)
    , choices(seed)
    , ids(seed) {
    for (int i = 0; i < 3; ++i) {
        subgraphs.push_back(NextId());
    }
    // Built once, then copied twice: both graphs start as copies, none of whose nodes is up
    // to date, and their records lie alike so that both keep one topological order.
    Graph base(subgraphs.front());
    Populate(base, 0);
    for (int twin : {Full, Changed}) {
        twins[twin] = std::make_unique<Graph>(base);
        Configure(twin);
    }
    totals.sequences = 1;
}

TwinHarness::~TwinHarness() = default;

TwinTotals TwinHarness::Totals() const {
    TwinTotals result = totals;
    result.fullExecutions = ledgers[Full].executions;
    result.changedExecutions = ledgers[Changed].executions;
    result.violations = static_cast<long>(ledgers[Changed].violations.size());
    return result;
}

GUID TwinHarness::NextId() {
    GUID id;
    for (std::uint8_t& byte : id.data) {
        byte = static_cast<std::uint8_t>(ids());
    }
    return id;
}

std::shared_ptr<Behaviour> TwinHarness::NewBehaviour(bool top) {
    auto behaviour = std::make_shared<Behaviour>();
    behaviour->id = NextId();
    behaviour->name = "n" + std::to_string(++names);
    const std::uint32_t inputs = choices.Below(4);
    const std::uint32_t outputs = inputs == 0 ? 1 + choices.Below(3) : choices.Below(4);
    for (std::uint32_t i = 0; i < inputs; ++i) {
        behaviour->inputs.push_back(NextId());
    }
    for (std::uint32_t i = 0; i < outputs; ++i) {
        behaviour->outputs.push_back(NextId());
        const std::uint32_t mode = choices.Below(10);
        behaviour->modes.push_back(mode < 6   ? OutputMode::Compute
                                   : mode < 8 ? OutputMode::PassThrough
                                              : OutputMode::Memo);
    }
    behaviour->salt = static_cast<std::uint32_t>(ids());
    behaviour->failEvery = choices.Chance(25) ? 3 + choices.Below(5) : 0;
    behaviour->hostFailEvery = inputs > 0 && choices.Chance(5) ? 4 + choices.Below(6) : 0;
    behaviour->omitEvery = choices.Chance(15) ? 3 + choices.Below(4) : 0;
    behaviour->external = top && choices.Chance(10) ? &external : nullptr;
    return behaviour;
}

void TwinHarness::Populate(Graph& graph, int depth) {
    const std::uint32_t count = depth == 0 ? 4 + choices.Below(9) : 2 + choices.Below(4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const GUID subgraph = depth == 0 ? subgraphs[choices.Below(3)] : GetNullGUID();
        std::shared_ptr<INodeFunction> function;
        if (depth < 2 && choices.Chance(depth == 0 ? 15 : 10)) {
            function = MakeUbernode(depth);
        } else {
            function = std::make_shared<ProbedFunction>(NewBehaviour(depth == 0));
        }
        const GUID node = function->GetId();
        graph.CreateNode(function, subgraph);
        if (depth == 0 && choices.Chance(20)) {
            graph.AssignNodeToExecutionSubgraphs(node, subgraphs[choices.Below(3)]);
        }
        for (const auto& [from, to] : ChooseLinks(graph, node)) {
            graph.LinkPins(from, to);
        }
        for (const GUID& pin : graph.GetInputPins(node)) {
            if (!graph.HasUpstreamPin(pin) && choices.Chance(50)) {
                graph.PutDataOnPin(pin, std::make_shared<const Number>(choices.Below(6)));
            }
        }
    }
}

// An inner graph whose boundary is two relays for the inputs and one or two outputs picked among
// its nodes; those pins and their nodes are never destroyed, so the ubernode always finds them.
std::shared_ptr<ProbedUbernode> TwinHarness::MakeUbernode(int depth) {
    auto inner = std::make_shared<Graph>(NextId());
    Schema inputs;
    for (int i = 0; i < 2; ++i) {
        const std::shared_ptr<Behaviour> behaviour = NewBehaviour(false);
        behaviour->inputs.assign(1, NextId());
        behaviour->hostFailEvery = 0;
        if (behaviour->outputs.empty()) {
            behaviour->outputs.push_back(NextId());
            behaviour->modes.push_back(OutputMode::Compute);
        }
        inner->CreateNode(std::make_shared<ProbedFunction>(behaviour), GetNullGUID());
        inputs.emplace(behaviour->inputs.front(), typeid(Number));
        protectedPins.insert(behaviour->inputs.front());
        protectedNodes.insert(behaviour->id);
    }
    Populate(*inner, depth + 1);
    Schema outputs;
    std::vector<GUID> candidates;
    for (const GUID& pin : Pins(*inner)) {
        if (IsOutput(*inner, pin)) {
            candidates.push_back(pin);
        }
    }
    for (int i = 0; i < 2 && !candidates.empty(); ++i) {
        const GUID pin = candidates[choices.Below(static_cast<std::uint32_t>(candidates.size()))];
        outputs.emplace(pin, typeid(Number));
        protectedPins.insert(pin);
        protectedNodes.insert(inner->GetOwningNode(pin));
    }
    return std::make_shared<ProbedUbernode>(inner, inputs, outputs, "u" + std::to_string(++names),
                                            NextId());
}

// Links each input of the node, most of the time, to an output of a node it does not feed, and
// sometimes one of its outputs to an unlinked input elsewhere.
std::vector<std::pair<GUID, GUID>> TwinHarness::ChooseLinks(const Graph& graph, const GUID& node) {
    std::vector<std::pair<GUID, GUID>> links;
    std::vector<GUID> outputs;
    std::vector<GUID> freeInputs;
    for (const GUID& pin : Pins(graph)) {
        const GUID owner = graph.GetOwningNode(pin);
        if (owner == node) {
            continue;
        }
        if (IsOutput(graph, pin)) {
            outputs.push_back(pin);
        } else if (!graph.HasUpstreamPin(pin)) {
            freeInputs.push_back(pin);
        }
    }
    const IdentifierSet inputs = graph.GetInputPins(node);
    std::vector<GUID> mine(inputs.begin(), inputs.end());
    std::sort(mine.begin(), mine.end());
    for (const GUID& pin : mine) {
        if (outputs.empty() || !choices.Chance(60)) {
            continue;
        }
        const GUID from = outputs[choices.Below(static_cast<std::uint32_t>(outputs.size()))];
        if (!graph.HasUpstreamPin(pin) && !Reaches(graph, node, graph.GetOwningNode(from))) {
            links.emplace_back(from, pin);
        }
    }
    const IdentifierSet outputPins = graph.GetOutputPins(node);
    std::vector<GUID> out(outputPins.begin(), outputPins.end());
    std::sort(out.begin(), out.end());
    if (links.empty() && !out.empty() && !freeInputs.empty() && choices.Chance(30)) {
        const GUID to = freeInputs[choices.Below(static_cast<std::uint32_t>(freeInputs.size()))];
        if (!Reaches(graph, graph.GetOwningNode(to), node)) {
            links.emplace_back(out[choices.Below(static_cast<std::uint32_t>(out.size()))], to);
        }
    }
    return links;
}

// Every probe of the twin reports to the twin's ledger; only the top graph's functions of the
// TraverseChanged twin check their calls, since inner graphs run by a full Traverse.
void TwinHarness::Configure(int twin) {
    std::vector<std::pair<Graph*, bool>> pending{{twins[twin].get(), true}};
    while (!pending.empty()) {
        const auto [graph, top] = pending.back();
        pending.pop_back();
        for (const auto& entry : graph->GetNodes()) {
            Probe& probe = *ProbeOf(*entry.second);
            probe.ledger = &ledgers[twin];
            probe.top = top;
            probe.checked = top && twin == Changed;
            probe.emulate = probe.checked && emulate;
            if (probe.inner != nullptr) {
                pending.emplace_back(probe.inner, false);
            }
        }
    }
}

Graph& TwinHarness::Resolve(int twin, const GraphPath& path) {
    Graph* graph = twins[twin].get();
    for (const GUID& ubernode : path) {
        graph = ProbeOf(graph->GetConstNode(ubernode))->inner;
    }
    return *graph;
}

std::vector<GraphPath> TwinHarness::AllPaths() {
    std::vector<GraphPath> paths{{}};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const GraphPath path = paths[i];
        for (const GUID& node : Nodes(Resolve(Full, path))) {
            if (ProbeOf(Resolve(Full, path).GetConstNode(node))->inner != nullptr) {
                GraphPath deeper = path;
                deeper.push_back(node);
                paths.push_back(std::move(deeper));
            }
        }
    }
    return paths;
}

GraphPath TwinHarness::PickPath() {
    if (choices.Chance(75)) {
        return {};
    }
    const std::vector<GraphPath> paths = AllPaths();
    return paths[choices.Below(static_cast<std::uint32_t>(paths.size()))];
}

std::vector<GUID> TwinHarness::Nodes(const Graph& graph) const {
    const IdentifierSet found = graph.GetNodesInArbitraryOrder();
    std::vector<GUID> sorted(found.begin(), found.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

std::vector<GUID> TwinHarness::Pins(const Graph& graph) const {
    std::vector<GUID> sorted;
    for (const Pin* pin : graph.GetAllPins()) {
        sorted.push_back(pin->GetId());
    }
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

bool TwinHarness::IsOutput(const Graph& graph, const GUID& pin) const {
    return graph.GetOutputPins(graph.GetOwningNode(pin)).count(pin) != 0;
}

// Whether `to` is `from` or lies downstream of it.
bool TwinHarness::Reaches(const Graph& graph, const GUID& from, const GUID& to) const {
    std::vector<GUID> pending{from};
    std::set<GUID> seen{from};
    while (!pending.empty()) {
        const GUID node = pending.back();
        pending.pop_back();
        if (node == to) {
            return true;
        }
        for (const GUID& next : graph.GetOutputNodes(node)) {
            if (seen.insert(next).second) {
                pending.push_back(next);
            }
        }
    }
    return false;
}

// A node as "name", a pin as "name.pin-id-prefix", for the log.
std::string TwinHarness::Named(const GraphPath& path, const GUID& id) {
    const Graph& graph = Resolve(Full, path);
    const std::string brief = GUIDToString(id).substr(0, 8);
    if (graph.HasNode(id)) {
        return graph.GetConstNode(id).GetNodeFunction().GetName();
    }
    if (graph.HasPin(id)) {
        return Named(path, graph.GetOwningNode(id)) + "." + brief;
    }
    return "unknown " + brief;
}

std::string TwinHarness::Where(const GraphPath& path) {
    std::string text;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const GraphPath outer(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(i));
        text += (i == 0 ? "" : "/") + Named(outer, path[i]);
    }
    return text;
}

bool TwinHarness::IsUbernode(const Graph& graph, const GUID& node) const {
    return ProbeOf(graph.GetConstNode(node))->inner != nullptr;
}

} // namespace datagraph::reliability
