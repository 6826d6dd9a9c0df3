#pragma once

// The graphs every system is measured on, held once as plain node indices and edges so that each
// system builds exactly the same shape, and the identifiers the uuid-keyed systems name them by.

#include <boost/uuid/uuid.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct Edge {
    std::uint32_t from;
    std::uint32_t to;
};

struct Shape {
    std::string name;
    std::size_t nodeCount = 0;
    std::vector<Edge> edges;
    /// Per node, its feeding nodes in edge order; the k-th one feeds the node's k-th input pin.
    std::vector<std::vector<std::uint32_t>> upstream;
    /// Per node, the nodes it feeds, in edge order.
    std::vector<std::vector<std::uint32_t>> downstream;

    std::size_t PinCount() const { return edges.size() + nodeCount; }
};

/// Reads the edge-list format of the workloads directory; throws std::runtime_error naming the
/// file and line on anything malformed, including a cycle.
Shape LoadEdgeList(const std::string& path);

/// `layers` layers of `width` nodes; every node below the first is fed by two distinct nodes of
/// the layer above, drawn with std::mt19937_64 seeded with `seed` as `rng() % width`.
Shape MakeLayered(std::size_t layers, std::size_t width, std::uint64_t seed);

Shape MakeChain(std::size_t nodeCount);

/// Kahn's order over node indices; shorter than the node count when the shape has a cycle.
std::vector<std::uint32_t> KahnOrder(const Shape& shape);

/// What every system must compute: a node's value is one plus the sum of its inputs, wrapping
/// modulo 2^64 (deep graphs overflow).
std::vector<std::uint64_t> ReferenceValues(const Shape& shape);

/// True when every edge goes from an earlier to a later entry and every node appears once.
bool IsTopologicalOrder(const Shape& shape, const std::vector<std::uint32_t>& order);

/// The names a uuid-keyed system gives the shape's nodes and pins, drawn from a seeded generator
/// (deterministic and far cheaper than the operating system's entropy).
struct Identifiers {
    std::vector<boost::uuids::uuid> nodes;
    /// Per node, one input pin per feeding edge, in the order of Shape::upstream.
    std::vector<std::vector<boost::uuids::uuid>> inputPins;
    std::vector<boost::uuids::uuid> outputPins;
};

Identifiers MakeIdentifiers(const Shape& shape, std::uint64_t seed);

/// A shape together with everything derived from it that the measurements reuse.
struct Workload {
    Shape shape;
    Identifiers ids;
    /// The reference values, one per node.
    std::vector<std::uint64_t> expected;
    /// The order in which the one-by-one destruction removes nodes (a seeded shuffle).
    std::vector<std::uint32_t> destroyOrder;
};

Workload MakeWorkload(Shape shape);

} // namespace bench
