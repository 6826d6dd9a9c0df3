// The library's Traverse on graphs whose node functions are made by MakeFunctionNode from lambdas
// over plain integers: the same shapes and sums as the hand-written functions of Library.cpp,
// registered as the system "helpers" so that each row compares with "ours" from the same run.
// A node of up to eight inputs takes them as parameters of its own, as a host writes a small
// formula; a larger one, as on the workloads' joins, takes them all as one InputList.

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

using systems::helpers;
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

std::shared_ptr<datagraph::INodeFunction> MakeListSum(std::size_t inputs,
                                                      const datagraph::GUID& id) {
    std::vector<std::string> names;
    for (std::size_t input = 0; input < inputs; ++input) {
        names.push_back("in" + std::to_string(input));
    }
    return datagraph::MakeFunctionNode(
        "sum", std::move(names), {"sum"},
        [](datagraph::InputList<std::uint64_t> in) {
            std::uint64_t sum = 1;
            for (std::uint64_t term : in) {
                sum += term;
            }
            return sum;
        },
        id);
}

template <std::size_t... N>
std::shared_ptr<datagraph::INodeFunction> MakeSumOf(std::size_t inputs, const datagraph::GUID& id,
                                                    std::index_sequence<N...>) {
    std::shared_ptr<datagraph::INodeFunction> made;
    ((inputs == N ? (made = MakeSum(id, std::make_index_sequence<N>()), 0) : 0), ...);
    return made != nullptr ? made : MakeListSum(inputs, id);
}

datagraph::GUID PinOf(const datagraph::GUID& node, const std::string& name) {
    return boost::uuids::name_generator_sha1(node)(name);
}

struct HelperGraph {
    std::unique_ptr<datagraph::Graph> graph;
};

using Functions = std::vector<std::shared_ptr<datagraph::INodeFunction>>;

// Made once per workload and shared by every graph built from them, as Library.cpp does with
// its own, so that both systems' graphs lie in memory alike.
std::shared_ptr<const Functions> MakeFunctions(const Workload& workload) {
    auto functions = std::make_shared<Functions>();
    functions->reserve(workload.shape.nodeCount);
    for (std::size_t node = 0; node < workload.shape.nodeCount; ++node) {
        functions->push_back(MakeSumOf(workload.shape.upstream[node].size(),
                                       workload.ids.nodes[node],
                                       std::make_index_sequence<maxInputs + 1>()));
    }
    return functions;
}

std::shared_ptr<HelperGraph> BuildAndRun(const Workload& workload, const Functions& functions) {
    auto made = std::make_shared<HelperGraph>();
    made->graph = std::make_unique<datagraph::Graph>(datagraph::CreateGUID());
    const Shape& shape = workload.shape;
    for (const auto& function : functions) {
        made->graph->CreateNode(function, datagraph::GetNullGUID());
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
    const Workload* w = &workload;
    const auto functions = MakeFunctions(workload);
    RegisterMeasurement(workload, helpers, measures::traverse, [w, functions] {
        const auto made =
            SharedFixture<HelperGraph>(*w, [w, functions] { return BuildAndRun(*w, *functions); });
        return [made](Stopwatch& watch) {
            watch.Start();
            made->graph->Traverse();
            watch.Stop();
        };
    });
}

} // namespace bench
