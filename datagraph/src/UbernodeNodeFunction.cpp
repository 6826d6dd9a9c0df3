#include <datagraph/UbernodeNodeFunction.h>

#include <kescoreplatform/KString.h>

#include "Checks.h"
#include "store/GraphStore.h"

#include <utility>
#include <vector>

namespace datagraph {
namespace {

// Ubernodes nest graphs in graphs, so copying or destroying one walks the nesting. Done by plain
// recursion, a nesting a few thousand deep would overflow the stack. Instead, the outermost copy
// (or release) on a thread keeps a list of the inner graphs still to copy (or to release), and
// the nested ones only add to it; the list lives in that outermost call's frame.
struct PendingCopies {
    std::vector<std::pair<std::shared_ptr<Graph>, std::shared_ptr<const Graph>>> graphs;
};

struct PendingReleases {
    std::vector<std::shared_ptr<Graph>> graphs;
};

thread_local PendingCopies* pendingCopies = nullptr;
thread_local PendingReleases* pendingReleases = nullptr;

// The deep copy of `source`: at once when this is the outermost copy of the thread, otherwise an
// empty graph that the outermost copy fills before it returns.
std::shared_ptr<Graph> CopyInnerGraph(const std::shared_ptr<const Graph>& source) {
    auto copy = std::make_shared<Graph>(source->GetDefaultExecutionSubgraphID());
    if (pendingCopies != nullptr) {
        pendingCopies->graphs.emplace_back(copy, source);
        return copy;
    }
    PendingCopies pending;
    pendingCopies = &pending;

    struct Restore {
        ~Restore() { pendingCopies = nullptr; }
    } restore;

    *copy = *source;
    while (!pending.graphs.empty()) {
        const auto [target, from] = std::move(pending.graphs.back());
        pending.graphs.pop_back();
        *target = *from;
    }
    return copy;
}

void ReleaseInnerGraph(std::shared_ptr<Graph>& graph) noexcept {
    if (pendingReleases != nullptr) {
        try {
            pendingReleases->graphs.push_back(std::move(graph));
            return;
        } catch (const std::bad_alloc&) { // no room on the list: release it here, recursing
            graph.reset();
            return;
        }
    }
    PendingReleases pending;
    pendingReleases = &pending;
    graph.reset();
    while (!pending.graphs.empty()) {
        std::shared_ptr<Graph> next = std::move(pending.graphs.back());
        pending.graphs.pop_back();
        next.reset();
    }
    pendingReleases = nullptr;
}

} // namespace

UbernodeNodeFunction::UbernodeNodeFunction(std::shared_ptr<Graph> graph, const Schema inputSchema,
                                           const Schema outputSchema, const std::string& name,
                                           const std::string& description, GUID id)
    : name(name)
    , description(description)
    , graph(std::move(graph))
    , inputSchema(inputSchema)
    , outputSchema(outputSchema)
    , id(id) {
    CheckThat(this->graph != nullptr, "Ubernode graph cannot be null");
    GraphStore::Of(*this->graph).CountHoldingUbernode(+1);
}

UbernodeNodeFunction::UbernodeNodeFunction(const UbernodeNodeFunction& other)
    : INodeFunction(other)
    , name(other.name)
    , description(other.description)
    , graph(CopyInnerGraph(other.graph))
    , inputSchema(other.inputSchema)
    , outputSchema(other.outputSchema)
    , id(other.id) {
    GraphStore::Of(*graph).CountHoldingUbernode(+1);
}

UbernodeNodeFunction::~UbernodeNodeFunction() {
    GraphStore::Of(*graph).CountHoldingUbernode(-1);
    ReleaseInnerGraph(graph);
}

std::shared_ptr<INodeFunction> UbernodeNodeFunction::Clone() const {
    return std::make_shared<UbernodeNodeFunction>(*this);
}

DataMap UbernodeNodeFunction::Execute(const DataMap& inputs) {
    for (const auto& [pinId, value] : inputs) {
        graph->PutDataOnPin(pinId, value);
    }
    graph->Traverse();
    DataMap outputs;
    for (const auto& entry : outputSchema) {
        // An inner pin that holds nothing yet yields no output, so the outer pin keeps its value.
        if (std::shared_ptr<const IDataValue> value = graph->GetConstPin(entry.first).GetData()) {
            outputs.emplace(entry.first, std::move(value));
        }
    }
    return outputs;
}

std::string UbernodeNodeFunction::GetName() const {
    return name;
}

std::string UbernodeNodeFunction::GetDescription() const {
    return description;
}

GUID UbernodeNodeFunction::GetId() const {
    return id;
}

std::string UbernodeNodeFunction::GetInputOrOutputName(const GUID& pinId) const {
    const GUID owner = graph->GetOwningNode(pinId);
    return graph->GetConstNode(owner).GetNodeFunction().GetInputOrOutputName(pinId);
}

std::string UbernodeNodeFunction::GetInputOrOutputDescription(const GUID& pinId) const {
    const GUID owner = graph->GetOwningNode(pinId);
    return graph->GetConstNode(owner).GetNodeFunction().GetInputOrOutputDescription(pinId);
}

Schema UbernodeNodeFunction::GetInputSchema() const {
    return inputSchema;
}

Schema UbernodeNodeFunction::GetOutputSchema() const {
    return outputSchema;
}

std::string UbernodeNodeFunction::GetClassIdentifier() const {
    return KString(L"graph-node", -1).toStdString();
}

const Graph* UbernodeNodeFunction::GetGraph() const {
    return graph.get();
}

Graph* UbernodeNodeFunction::GetGraph() {
    return graph.get();
}

} // namespace datagraph
