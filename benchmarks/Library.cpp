// The library under measurement, driven exactly as a host drives it: one node function per node,
// one input pin per feeding edge, one output pin, int64 values on the pins.

#include "Diagnostics.h"
#include "HeapCounter.h"
#include "LibraryGraph.h"
#include "Results.h"
#include "Stopwatch.h"
#include "Systems.h"

#include <datagraph/EditHistory.h>
#include <datagraph/Graph.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <unordered_map>

namespace bench {

namespace {

using datagraph::DataMap;
using datagraph::GUID;

class Int64Value final : public datagraph::IDataValue {
public:
    explicit Int64Value(std::uint64_t number)
        : number(number) {}

    std::unique_ptr<datagraph::IDataValue> Clone() const override {
        return std::make_unique<Int64Value>(number);
    }

    const std::type_info& GetType() const override { return typeid(Int64Value); }

    const std::uint64_t number;
};

std::uint64_t executions = 0;

struct Unmarked {};

// The graphs of the memory figure mark what their node functions allocate as the host's (see
// HeapCounter.h); the timed graphs pay nothing for that.
template <bool marked> using HostCode = std::conditional_t<marked, HostAllocations, Unmarked>;

template <bool marked> class SumFunction final : public datagraph::INodeFunction {
public:
    SumFunction(const GUID& id, std::vector<GUID> inputs, const GUID& output)
        : id(id)
        , inputs(std::move(inputs))
        , output(output) {}

    std::shared_ptr<datagraph::INodeFunction> Clone() const override {
        [[maybe_unused]] const HostCode<marked> host;
        return std::make_shared<SumFunction>(*this);
    }

    DataMap Execute(const DataMap& values) override {
        [[maybe_unused]] const HostCode<marked> host;
        ++executions;
        std::uint64_t sum = 1;
        for (const auto& entry : values) {
            sum += static_cast<const Int64Value&>(*entry.second).number;
        }
        return DataMap{{output, std::make_shared<const Int64Value>(sum)}};
    }

    std::string GetName() const override {
        [[maybe_unused]] const HostCode<marked> host;
        return "sum";
    }

    std::string GetDescription() const override {
        [[maybe_unused]] const HostCode<marked> host;
        return "one plus the sum of the inputs";
    }

    GUID GetId() const override { return id; }

    std::string GetInputOrOutputName(const GUID&) const override { return {}; }

    std::string GetInputOrOutputDescription(const GUID&) const override { return {}; }

    datagraph::Schema GetInputSchema() const override {
        [[maybe_unused]] const HostCode<marked> host;
        datagraph::Schema schema;
        for (const GUID& pin : inputs) {
            schema.emplace(pin, typeid(Int64Value));
        }
        return schema;
    }

    datagraph::Schema GetOutputSchema() const override {
        [[maybe_unused]] const HostCode<marked> host;
        return datagraph::Schema{{output, typeid(Int64Value)}};
    }

    std::string GetClassIdentifier() const override {
        [[maybe_unused]] const HostCode<marked> host;
        return "bench.sum";
    }

private:
    GUID id;
    std::vector<GUID> inputs;
    GUID output;
};

using Functions = std::vector<std::shared_ptr<datagraph::INodeFunction>>;

const GUID subgraph{{0x6b, 0x1e, 0x0c, 0x55, 0x2f, 0x3a, 0x4d, 0x21, 0x9a, 0x4e, 0x10, 0x77, 0x32,
                     0xc8, 0x5d, 0x09}};

template <bool marked = false>
std::shared_ptr<const Functions> MakeFunctions(const Workload& workload) {
    [[maybe_unused]] const HostCode<marked> host;
    auto functions = std::make_shared<Functions>();
    functions->reserve(workload.shape.nodeCount);
    for (std::size_t node = 0; node < workload.shape.nodeCount; ++node) {
        functions->push_back(std::make_shared<SumFunction<marked>>(
            workload.ids.nodes[node], workload.ids.inputPins[node], workload.ids.outputPins[node]));
    }
    return functions;
}

// An edit observer as light as one can be: it counts the nodes and links it hears of.
struct EditCounter : datagraph::IGraphEditObserver {
    void NodeCreated(const GUID&) override { ++edits; }

    void LinkMade(const GUID&, const GUID&) override { ++edits; }

    std::uint64_t edits = 0;
};

void Build(datagraph::Graph& graph, const Workload& workload, const Functions& functions) {
    for (const auto& function : functions) {
        graph.CreateNode(function, datagraph::GetNullGUID());
    }
    const Shape& shape = workload.shape;
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        for (std::size_t input = 0; input < shape.upstream[node].size(); ++input) {
            graph.LinkPins(workload.ids.outputPins[shape.upstream[node][input]],
                           workload.ids.inputPins[node][input]);
        }
    }
}

std::unique_ptr<datagraph::Graph> BuildAndRun(const Workload& workload,
                                              const Functions& functions) {
    auto graph = std::make_unique<datagraph::Graph>(subgraph);
    Build(*graph, workload, functions);
    graph->Traverse();
    return graph;
}

struct Link {
    GUID output;
    GUID input;
};

// The shape's first edge, as the pins it links; none for a shape without edges.
std::optional<Link> FirstLink(const Workload& workload) {
    const Shape& shape = workload.shape;
    if (shape.edges.empty()) {
        return std::nullopt;
    }
    const Edge& edge = shape.edges.front();
    const auto& feeding = shape.upstream[edge.to];
    const auto input = static_cast<std::size_t>(
        std::find(feeding.begin(), feeding.end(), edge.from) - feeding.begin());
    return Link{workload.ids.outputPins[edge.from], workload.ids.inputPins[edge.to][input]};
}

// A structural edit that leaves the graph as it was: whatever the graph keeps that depends on its
// structure must be made again afterwards, which is what a host pays after each edit it makes.
void Relink(datagraph::Graph& graph, const Link& link) {
    graph.UnlinkPins(link.output, link.input);
    graph.LinkPins(link.output, link.input);
}

bool IsUnlinked(const Shape& shape, std::size_t node) {
    return shape.upstream[node].empty() && shape.downstream[node].empty();
}

// A traversal leaves a node without links alone, so such a node never gets a value.
std::size_t LinkedNodeCount(const Shape& shape) {
    std::size_t linked = 0;
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        linked += IsUnlinked(shape, node) ? 0 : 1;
    }
    return linked;
}

std::shared_ptr<datagraph::Graph> SharedRun(const Workload& workload, const Functions& functions) {
    return SharedFixture<datagraph::Graph>(workload,
                                           [&] { return BuildAndRun(workload, functions); });
}

void CheckValues(const datagraph::Graph& graph, const Workload& workload, const char* what) {
    for (std::size_t node = 0; node < workload.shape.nodeCount; ++node) {
        const auto value = graph.GetDataFromPin(workload.ids.outputPins[node]);
        const bool right =
            IsUnlinked(workload.shape, node)
                ? value == nullptr
                : value != nullptr &&
                      static_cast<const Int64Value&>(*value).number == workload.expected[node];
        Require(right, workload, systems::ours, std::string("wrong value after ") + what);
    }
}

std::vector<std::uint32_t> AsIndices(const datagraph::IdentifierList& order,
                                     const Workload& workload) {
    std::unordered_map<GUID, std::uint32_t, boost::hash<GUID>> index;
    for (std::uint32_t node = 0; node < workload.shape.nodeCount; ++node) {
        index.emplace(workload.ids.nodes[node], node);
    }
    std::vector<std::uint32_t> indices;
    for (const GUID& id : order) {
        indices.push_back(index.at(id));
    }
    return indices;
}

// The peak, and its split between the blocks the host's node functions allocated (themselves, the
// schemas they hand over, the values their executions return) and all the others: the library's.
void RecordMemory(const Workload& workload) {
    HeapMeasurement heap;
    {
        const auto functions = MakeFunctions<true>(workload);
        const auto graph = BuildAndRun(workload, *functions);
    }
    const auto nodes = static_cast<double>(workload.shape.nodeCount);
    const auto peak = static_cast<double>(heap.PeakBytes());
    const auto host = static_cast<double>(heap.HostBytesAtPeak());
    RecordFigure(workload.shape.name, systems::ours, measures::memory, peak / nodes);
    RecordFigure(workload.shape.name, systems::ours, measures::memoryLibrary,
                 (peak - host) / nodes);
    RecordFigure(workload.shape.name, systems::ours, measures::memoryHost, host / nodes);
}

// What CreateNode asks of the host's node function; the host builds each schema and the library
// destroys it, so this share of our build is the host's own code, which the baseline never runs.
void RegisterSchemaCalls(const Workload& workload,
                         const std::shared_ptr<const Functions>& functions) {
    RegisterMeasurement(workload, systems::ours, measures::schemaCalls, [functions] {
        return [functions](Stopwatch& watch) {
            watch.Start();
            for (const auto& function : *functions) {
                const GUID id = function->GetId();
                const datagraph::Schema inputs = function->GetInputSchema();
                const datagraph::Schema outputs = function->GetOutputSchema();
                benchmark::DoNotOptimize(id);
                benchmark::DoNotOptimize(inputs.size() + outputs.size());
            }
            watch.Stop();
        };
    });
}

// Both after an edit, so that neither times an order kept from the call before. Without a link
// there is no such edit, and nothing cold to time: the rows stay empty.
void RegisterAfterEdit(const Workload& workload,
                       const std::shared_ptr<const Functions>& functions) {
    const std::optional<Link> found = FirstLink(workload);
    if (!found) {
        return;
    }
    const Workload* w = &workload;
    const Link link = *found;
    RegisterMeasurement(workload, systems::ours, measures::traverseAfterEdit, [w, functions, link] {
        const auto graph = SharedRun(*w, *functions);
        return [graph, link](Stopwatch& watch) {
            Relink(*graph, link);
            watch.Start();
            graph->Traverse();
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::ours, measures::order, [w, functions, link] {
        const auto graph = SharedRun(*w, *functions);
        return [graph, link](Stopwatch& watch) {
            Relink(*graph, link);
            watch.Start();
            const datagraph::IdentifierList order = graph->GetNodesInTopologicalOrder();
            watch.Stop();
            benchmark::DoNotOptimize(order.data());
        };
    });
}

void RegisterBuildAndRun(const Workload& workload,
                         const std::shared_ptr<const Functions>& functions) {
    const Workload* w = &workload;
    RegisterMeasurement(workload, systems::ours, measures::build, [w, functions] {
        return [w, functions](Stopwatch& watch) {
            datagraph::Graph graph(subgraph);
            watch.Start();
            Build(graph, *w, *functions);
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::ours, measures::buildObserved, [w, functions] {
        return [w, functions](Stopwatch& watch) {
            EditCounter counter;
            datagraph::Graph graph(subgraph);
            graph.SetEditObserver(&counter);
            watch.Start();
            Build(graph, *w, *functions);
            watch.Stop();
            graph.SetEditObserver(nullptr);
            benchmark::DoNotOptimize(counter.edits);
        };
    });
    // A host that reads a whole graph from a file makes it one step: the targeted row. An
    // interactive host makes each call a step of its own; the steps go with the history, untimed.
    RegisterMeasurement(workload, systems::ours, measures::buildHistory, [w, functions] {
        return [w, functions](Stopwatch& watch) {
            datagraph::Graph graph(subgraph);
            datagraph::EditHistory history(graph);
            watch.Start();
            {
                const datagraph::EditHistory::Transaction step(history);
                Build(graph, *w, *functions);
            }
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::ours, measures::buildHistorySteps, [w, functions] {
        return [w, functions](Stopwatch& watch) {
            datagraph::Graph graph(subgraph);
            datagraph::EditHistory history(graph);
            watch.Start();
            Build(graph, *w, *functions);
            watch.Stop();
        };
    });
    RegisterSchemaCalls(workload, functions);
    // The structure unchanged since the last run, as on every value a host edits.
    RegisterMeasurement(workload, systems::ours, measures::traverse, [w, functions] {
        const auto graph = SharedRun(*w, *functions);
        return [graph](Stopwatch& watch) {
            watch.Start();
            graph->Traverse();
            watch.Stop();
        };
    });
    RegisterAfterEdit(workload, functions);
    RegisterMeasurement(workload, systems::ours, measures::copy, [w, functions] {
        const auto graph = SharedRun(*w, *functions);
        return [graph](Stopwatch& watch) {
            watch.Start();
            const datagraph::Graph copy(*graph);
            watch.Stop();
        };
    });
}

// As a host builds: each node function made with its ids from CreateGUID, inside the timed part.
void BuildWithNewIds(datagraph::Graph& graph, const Shape& shape) {
    std::vector<GUID> outputs(shape.nodeCount);
    std::vector<std::vector<GUID>> inputs(shape.nodeCount);
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        for (std::size_t input = 0; input < shape.upstream[node].size(); ++input) {
            inputs[node].push_back(datagraph::CreateGUID());
        }
        outputs[node] = datagraph::CreateGUID();
        graph.CreateNode(std::make_shared<SumFunction<false>>(datagraph::CreateGUID(), inputs[node],
                                                              outputs[node]),
                         datagraph::GetNullGUID());
    }
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        for (std::size_t input = 0; input < shape.upstream[node].size(); ++input) {
            graph.LinkPins(outputs[shape.upstream[node][input]], inputs[node][input]);
        }
    }
}

void RegisterHostCosts(const Workload& workload,
                       const std::shared_ptr<const Functions>& functions) {
    const Workload* w = &workload;
    RegisterMeasurement(workload, systems::ours, measures::buildWithIds, [w] {
        return [w](Stopwatch& watch) {
            datagraph::Graph graph(subgraph);
            watch.Start();
            BuildWithNewIds(graph, w->shape);
            watch.Stop();
        };
    });
    // One id per node, so that the figure per node is the figure per id.
    RegisterMeasurement(workload, systems::ours, measures::createIds, [w] {
        return [w](Stopwatch& watch) {
            watch.Start();
            GUID id;
            for (std::size_t made = 0; made < w->shape.nodeCount; ++made) {
                id = datagraph::CreateGUID();
                benchmark::DoNotOptimize(id);
            }
            watch.Stop();
        };
    });
    RegisterDiagnostics(workload, functions);
}

void RegisterTeardown(const Workload& workload, const std::shared_ptr<const Functions>& functions) {
    const Workload* w = &workload;
    RegisterMeasurement(workload, systems::ours, measures::clear, [w, functions] {
        return [w, functions](Stopwatch& watch) {
            const auto graph = BuildAndRun(*w, *functions);
            watch.Start();
            graph->Clear();
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::ours, measures::destructor, [w, functions] {
        return [w, functions](Stopwatch& watch) {
            auto graph = BuildAndRun(*w, *functions);
            watch.Start();
            graph.reset();
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::ours, measures::destroyEach, [w, functions] {
        return [w, functions](Stopwatch& watch) {
            const auto graph = BuildAndRun(*w, *functions);
            watch.Start();
            for (std::uint32_t node : w->destroyOrder) {
                graph->DestroyNode(w->ids.nodes[node]);
            }
            watch.Stop();
        };
    });
}

// The nodes the deletion measurements take out: the first of the seeded shuffle, so spread over
// the graph, most of their links to nodes that stay.
constexpr std::size_t deletedNodes = 1000;

std::vector<std::uint32_t> DeletedNodes(const Workload& workload) {
    const std::size_t count = std::min(deletedNodes, workload.destroyOrder.size());
    return {workload.destroyOrder.begin(),
            workload.destroyOrder.begin() + static_cast<std::ptrdiff_t>(count)};
}

// The host's "delete these nodes": one step.
void DeleteInOneStep(datagraph::Graph& graph, datagraph::EditHistory& history,
                     const Workload& workload, const std::vector<std::uint32_t>& nodes) {
    const datagraph::EditHistory::Transaction step(history);
    for (std::uint32_t node : nodes) {
        graph.DestroyNode(workload.ids.nodes[node]);
    }
}

// Puts back nodes destroyed without a history: the same functions, linked as the shape says.
void Recreate(datagraph::Graph& graph, const Workload& workload, const Functions& functions,
              const std::vector<std::uint32_t>& nodes) {
    const Shape& shape = workload.shape;
    for (std::uint32_t node : nodes) {
        graph.CreateNode(functions[node], datagraph::GetNullGUID());
    }
    auto link = [&](std::size_t from, std::size_t to) {
        const auto& feeding = shape.upstream[to];
        for (std::size_t input = 0; input < feeding.size(); ++input) {
            if (feeding[input] == from) {
                graph.LinkPins(workload.ids.outputPins[from], workload.ids.inputPins[to][input]);
            }
        }
    };
    for (std::uint32_t node : nodes) {
        for (std::uint32_t from : shape.upstream[node]) {
            link(from, node);
        }
        for (std::uint32_t to : shape.downstream[node]) {
            link(node, to);
        }
    }
}

struct HistoryFixture {
    std::unique_ptr<datagraph::Graph> graph;
    std::unique_ptr<datagraph::EditHistory> history;
};

// The deletion of 1,000 nodes as one step, its undo and its redo, per node deleted. Each
// iteration leaves the graph as it found it (every step undone, the history emptied untimed),
// so the iterations are alike; the graph is built afresh for each repetition. Delete1000NoHistory
// is the same deletion from a graph without a history, the nodes made and linked again untimed.
// Graphs too small for the deletion have none of these rows.
void RegisterDeletion(const Workload& workload, const std::shared_ptr<const Functions>& functions) {
    if (workload.shape.nodeCount < 2 * deletedNodes) {
        return;
    }
    const Workload* w = &workload;
    const auto nodes = std::make_shared<const std::vector<std::uint32_t>>(DeletedNodes(workload));
    enum class Timed { Delete, Undo, Redo };
    const std::pair<const char*, Timed> timed[] = {{measures::delete1000, Timed::Delete},
                                                   {measures::undoDelete, Timed::Undo},
                                                   {measures::redoDelete, Timed::Redo}};
    for (const auto& [what, part] : timed) {
        RegisterMeasurement(
            workload, systems::ours, what,
            [w, functions, nodes, part = part] {
                auto fixture = std::make_shared<HistoryFixture>();
                fixture->graph = BuildAndRun(*w, *functions);
                fixture->history = std::make_unique<datagraph::EditHistory>(*fixture->graph);
                return [w, nodes, fixture, part](Stopwatch& watch) {
                    datagraph::Graph& graph = *fixture->graph;
                    datagraph::EditHistory& history = *fixture->history;
                    auto timeIf = [&watch](bool timeIt, auto&& what) {
                        if (timeIt) {
                            watch.Start();
                        }
                        what();
                        if (timeIt) {
                            watch.Stop();
                        }
                    };
                    timeIf(part == Timed::Delete,
                           [&] { DeleteInOneStep(graph, history, *w, *nodes); });
                    timeIf(part == Timed::Undo, [&] { history.Undo(); });
                    if (part == Timed::Redo) {
                        timeIf(true, [&] { history.Redo(); });
                        history.Undo();
                    }
                    history.Clear();
                };
            },
            nodes->size());
    }
    RegisterMeasurement(
        workload, systems::ours, measures::delete1000NoHistory,
        [w, functions, nodes] {
            const std::shared_ptr<datagraph::Graph> graph = BuildAndRun(*w, *functions);
            return [w, functions, nodes, graph](Stopwatch& watch) {
                watch.Start();
                for (std::uint32_t node : *nodes) {
                    graph->DestroyNode(w->ids.nodes[node]);
                }
                watch.Stop();
                Recreate(*graph, *w, *functions, *nodes);
            };
        },
        nodes->size());
}

void CheckHistory(const Workload& workload, const Functions& functions) {
    datagraph::Graph graph(subgraph);
    datagraph::EditHistory history(graph);
    {
        const datagraph::EditHistory::Transaction step(history);
        Build(graph, workload, functions);
    }
    Require(history.UndoCount() == 1, workload, systems::ours,
            "a build in one transaction is not one step");
    graph.Traverse();
    CheckValues(graph, workload, "a build with a history");
    const std::vector<std::uint32_t> nodes = DeletedNodes(workload);
    DeleteInOneStep(graph, history, workload, nodes);
    Require(graph.GetNodes().size() == workload.shape.nodeCount - nodes.size(), workload,
            systems::ours, "the deletion left nodes behind");
    history.Undo();
    Require(graph.GetNodes().size() == workload.shape.nodeCount, workload, systems::ours,
            "the undo of a deletion did not bring every node back");
    graph.Traverse();
    CheckValues(graph, workload, "undoing a deletion");
    history.Redo();
    history.Undo();
    history.Undo();
    Require(graph.GetNodes().empty(), workload, systems::ours, "the undo of a build left nodes");
    history.Redo();
    graph.Traverse();
    CheckValues(graph, workload, "redoing a build");
    datagraph::Graph copy(graph);
    for (std::uint32_t node : nodes) {
        copy.DestroyNode(workload.ids.nodes[node]);
    }
    Recreate(copy, workload, functions, nodes);
    copy.Traverse();
    CheckValues(copy, workload, "deleting and recreating nodes");
}

} // namespace

std::shared_ptr<const SumFunctions> MakeSumFunctions(const Workload& workload) {
    return MakeFunctions(workload);
}

std::unique_ptr<datagraph::Graph> BuildLibraryGraph(const Workload& workload,
                                                    const SumFunctions& functions) {
    return BuildAndRun(workload, functions);
}

std::unique_ptr<datagraph::Graph> BuildUnrunLibraryGraph(const Workload& workload,
                                                         const SumFunctions& functions) {
    auto graph = std::make_unique<datagraph::Graph>(subgraph);
    Build(*graph, workload, functions);
    return graph;
}

std::shared_ptr<datagraph::Graph> SharedLibraryRun(const Workload& workload,
                                                   const SumFunctions& functions) {
    return SharedRun(workload, functions);
}

std::shared_ptr<const datagraph::IDataValue> MakeSumValue(std::uint64_t number) {
    return std::make_shared<const Int64Value>(number);
}

std::uint64_t SumExecutions() {
    return executions;
}

void CheckLibraryValues(const datagraph::Graph& graph, const Workload& workload, const char* what) {
    CheckValues(graph, workload, what);
}

void CheckLibrary(const Workload& workload) {
    const std::size_t nodeCount = LinkedNodeCount(workload.shape);
    const auto functions = MakeFunctions(workload);
    executions = 0;
    auto graph = BuildAndRun(workload, *functions);
    Require(executions == nodeCount, workload, systems::ours, "not every linked node ran");
    CheckValues(*graph, workload, "a run");
    graph->Traverse();
    Require(executions == 2 * nodeCount, workload, systems::ours,
            "not every linked node ran again");
    CheckValues(*graph, workload, "a second run");
    Require(IsTopologicalOrder(workload.shape,
                               AsIndices(graph->GetNodesInTopologicalOrder(), workload)),
            workload, systems::ours, "the topological order is wrong");
    if (const std::optional<Link> link = FirstLink(workload)) {
        Relink(*graph, *link);
        Require(IsTopologicalOrder(workload.shape,
                                   AsIndices(graph->GetNodesInTopologicalOrder(), workload)),
                workload, systems::ours, "the topological order after an edit is wrong");
        graph->Traverse();
        Require(executions == 3 * nodeCount, workload, systems::ours,
                "not every linked node ran after an edit");
        CheckValues(*graph, workload, "an edit and a run");
    }
    datagraph::Graph copy(*graph);
    copy.Traverse();
    CheckValues(copy, workload, "copying and running the copy");
    for (std::uint32_t node : workload.destroyOrder) {
        copy.DestroyNode(workload.ids.nodes[node]);
    }
    Require(copy.GetNodes().empty() && copy.GetAllPins().empty() && copy.GetPinToPinEdges().empty(),
            workload, systems::ours, "destroying every node left something behind");
    CheckValues(*graph, workload, "destroying the nodes of a copy");
    graph->Clear();
    Require(graph->GetNodes().empty() && graph->GetAllPins().empty(), workload, systems::ours,
            "Clear left something behind");
    CheckHistory(workload, *functions);
    RecordMemory(workload);
}

void RegisterLibrary(const Workload& workload) {
    const auto functions = MakeFunctions(workload);
    RegisterBuildAndRun(workload, functions);
    RegisterTeardown(workload, functions);
    RegisterDeletion(workload, functions);
    RegisterHostCosts(workload, functions);
}

} // namespace bench
