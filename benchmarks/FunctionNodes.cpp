// The library's Traverse on graphs whose node functions are made by MakeFunctionNode from lambdas
// over plain integers: the same shapes and sums as the hand-written functions of Library.cpp,
// registered as the system "helpers" so that each row compares with "ours" from the same run.

#include "Results.h"
#include "Stopwatch.h"
#include "Systems.h"

#include <datagraph/FunctionNode.h>
#include <datagraph/Graph.h>

#include <boost/uuid/name_generator_sha1.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace bench {

namespace {

const char* const helpers = "helpers";
constexpr std::size_t maxInputs = 8;

template <std::size_t> using Number = std::uint64_t;

template <std::size_t... I>
std::shared_ptr<datagraph::INodeFunction> MakeSum(const datagraph::GUID& id,
                                                  std::index_sequence<I...>) {
    auto sum = [](Number<I>... in) { return (std::uint64_t{1} + ... + in); };
    if constexpr (sizeof...(I) == 0) {
        return datagraph::MakeFunctionNode("sum", {}, {"sum"}, sum, id);
    } else {
        const std::string exact[] = {("in" + std::to_string(I))...};
        return datagraph::MakeFunctionNode("sum", exact, {"sum"}, sum, id);
    }
}

template <std::size_t... N>
std::shared_ptr<datagraph::INodeFunction> MakeSumOf(std::size_t inputs, const datagraph::GUID& id,
                                                    std::index_sequence<N...>) {
    std::shared_ptr<datagraph::INodeFunction> made;
    ((inputs == N ? (made = MakeSum(id, std::make_index_sequence<N>()), 0) : 0), ...);
    return made;
}

datagraph::GUID PinOf(const datagraph::GUID& node, const std::string& name) {
    return boost::uuids::name_generator_sha1(node)(name);
}

struct HelperGraph {
    std::unique_ptr<datagraph::Graph> graph;
};

std::shared_ptr<HelperGraph> BuildAndRun(const Workload& workload) {
    auto made = std::make_shared<HelperGraph>();
    made->graph = std::make_unique<datagraph::Graph>(datagraph::CreateGUID());
    const Shape& shape = workload.shape;
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        made->graph->CreateNode(MakeSumOf(shape.upstream[node].size(), workload.ids.nodes[node],
                                          std::make_index_sequence<maxInputs + 1>()),
                                datagraph::GetNullGUID());
    }
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        for (std::size_t input = 0; input < shape.upstream[node].size(); ++input) {
            made->graph->LinkPins(PinOf(workload.ids.nodes[shape.upstream[node][input]], "sum"),
                                  PinOf(workload.ids.nodes[node], "in" + std::to_string(input)));
        }
    }
    made->graph->Traverse();
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        const auto value = made->graph->GetDataFromPin(PinOf(workload.ids.nodes[node], "sum"));
        const bool unlinked = shape.upstream[node].empty() && shape.downstream[node].empty();
        Require(unlinked ? value == nullptr
                         : value != nullptr &&
                               datagraph::ValueOf<std::uint64_t>(value) == workload.expected[node],
                workload, helpers, "wrong value on node " + std::to_string(node));
    }
    return made;
}

} // namespace

void RegisterFunctionNodes(const Workload& workload) {
    for (const auto& feeding : workload.shape.upstream) {
        if (feeding.size() > maxInputs) {
            return; // a node of more inputs than the lambdas above take: no row for this graph
        }
    }
    const Workload* w = &workload;
    RegisterMeasurement(workload, helpers, measures::traverse, [w] {
        const auto made = SharedFixture<HelperGraph>(*w, [w] { return BuildAndRun(*w); });
        return [made](Stopwatch& watch) {
            watch.Start();
            made->graph->Traverse();
            watch.Stop();
        };
    });
}

} // namespace bench
