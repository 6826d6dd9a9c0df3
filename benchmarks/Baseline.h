#pragma once

// The hand-written baseline: the plain design a host could write in an afternoon, kept honest
// and minimal. Nodes live on the heap behind a virtual Execute; a node's inputs are gathered into
// an unordered_map keyed by pin uuid; values are shared and immutable; every run recomputes the
// order from scratch with Kahn's algorithm.

#include <boost/functional/hash.hpp>
#include <boost/uuid/uuid.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace bench::baseline {

using Uuid = boost::uuids::uuid;

struct Value {
    explicit Value(std::uint64_t number)
        : number(number) {}

    const std::uint64_t number;
};

using ValueMap = std::unordered_map<Uuid, std::shared_ptr<const Value>, boost::hash<Uuid>>;

class Node {
public:
    Node(const Uuid& id, std::vector<Uuid> inputPins, const Uuid& outputPin);
    virtual ~Node();

    virtual ValueMap Execute(const ValueMap& inputs) = 0;
    /// A new node with the same id and pins, unwired and without a value.
    virtual std::unique_ptr<Node> Clone() const = 0;

    const Uuid id;
    const std::vector<Uuid> inputPins;
    const Uuid outputPin;
    /// Parallel to inputPins: the node that feeds each one, or null.
    std::vector<Node*> upstream;
    /// One entry per link leaving the output pin.
    std::vector<Node*> downstream;
    std::shared_ptr<const Value> output;
    /// Scratch for ordering: linked inputs whose node is not placed yet.
    std::size_t unplacedInputs = 0;

protected:
    Node(const Node& other);
};

/// One plus the sum of its inputs.
class SumNode : public Node {
public:
    SumNode(const Uuid& id, std::vector<Uuid> inputPins, const Uuid& outputPin,
            std::uint64_t& executions);

    ValueMap Execute(const ValueMap& inputs) override;
    std::unique_ptr<Node> Clone() const override;

private:
    SumNode(const SumNode& other) = default;

    std::uint64_t& executions;
};

class Graph {
public:
    Graph() = default;
    /// Deep: new nodes, wired alike, holding copies of the values.
    Graph(const Graph& other);
    Graph& operator=(const Graph&) = delete;

    void AddNode(std::unique_ptr<Node> node);
    void Link(const Uuid& from, const Uuid& to, std::size_t inputIndex);
    /// Removes the node and every link that touches it.
    void EraseNode(const Uuid& id);
    void Clear();

    std::vector<Node*> TopologicalOrder();
    void Run();

    std::size_t Size() const { return nodes.size(); }

    /// Null for an unknown id.
    const Node* Find(const Uuid& id) const;

private:
    std::unordered_map<Uuid, std::unique_ptr<Node>, boost::hash<Uuid>> nodes;
};

} // namespace bench::baseline
