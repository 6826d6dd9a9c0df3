#include "Baseline.h"

#include <algorithm>
#include <stdexcept>

namespace bench::baseline {

Node::Node(const Uuid& id, std::vector<Uuid> inputPins, const Uuid& outputPin)
    : id(id)
    , inputPins(std::move(inputPins))
    , outputPin(outputPin)
    , upstream(this->inputPins.size(), nullptr) {}

Node::Node(const Node& other)
    : id(other.id)
    , inputPins(other.inputPins)
    , outputPin(other.outputPin)
    , upstream(other.inputPins.size(), nullptr) {}

Node::~Node() = default;

SumNode::SumNode(const Uuid& id, std::vector<Uuid> inputPins, const Uuid& outputPin,
                 std::uint64_t& executions)
    : Node(id, std::move(inputPins), outputPin)
    , executions(executions) {}

ValueMap SumNode::Execute(const ValueMap& inputs) {
    ++executions;
    std::uint64_t sum = 1;
    for (const auto& entry : inputs) {
        sum += entry.second->number;
    }
    return ValueMap{{outputPin, std::make_shared<const Value>(sum)}};
}

std::unique_ptr<Node> SumNode::Clone() const {
    return std::unique_ptr<Node>(new SumNode(*this));
}

Graph::Graph(const Graph& other) {
    std::unordered_map<const Node*, Node*> copies;
    copies.reserve(other.nodes.size());
    nodes.reserve(other.nodes.size());
    for (const auto& [id, node] : other.nodes) {
        std::unique_ptr<Node> copy = node->Clone();
        if (node->output) {
            copy->output = std::make_shared<const Value>(*node->output);
        }
        copies.emplace(node.get(), copy.get());
        nodes.emplace(id, std::move(copy));
    }
    for (const auto& [id, node] : other.nodes) {
        Node* copy = copies.at(node.get());
        for (std::size_t input = 0; input < node->upstream.size(); ++input) {
            if (node->upstream[input] != nullptr) {
                copy->upstream[input] = copies.at(node->upstream[input]);
            }
        }
        for (const Node* downstream : node->downstream) {
            copy->downstream.push_back(copies.at(downstream));
        }
    }
}

void Graph::AddNode(std::unique_ptr<Node> node) {
    const Uuid id = node->id;
    if (!nodes.emplace(id, std::move(node)).second) {
        throw std::invalid_argument("node id already in use");
    }
}

void Graph::Link(const Uuid& from, const Uuid& to, std::size_t inputIndex) {
    Node& source = *nodes.at(from);
    Node& target = *nodes.at(to);
    if (inputIndex >= target.upstream.size() || target.upstream[inputIndex] != nullptr) {
        throw std::invalid_argument("input pin missing or already linked");
    }
    target.upstream[inputIndex] = &source;
    source.downstream.push_back(&target);
}

void Graph::EraseNode(const Uuid& id) {
    auto found = nodes.find(id);
    if (found == nodes.end()) {
        return;
    }
    Node* node = found->second.get();
    for (Node* source : node->upstream) {
        if (source != nullptr) {
            auto& links = source->downstream;
            links.erase(std::find(links.begin(), links.end(), node));
        }
    }
    for (Node* target : node->downstream) {
        std::replace(target->upstream.begin(), target->upstream.end(), node,
                     static_cast<Node*>(nullptr));
    }
    nodes.erase(found);
}

void Graph::Clear() {
    nodes.clear();
}

std::vector<Node*> Graph::TopologicalOrder() {
    std::vector<Node*> order;
    order.reserve(nodes.size());
    for (const auto& entry : nodes) {
        Node* node = entry.second.get();
        node->unplacedInputs = static_cast<std::size_t>(
            std::count_if(node->upstream.begin(), node->upstream.end(),
                          [](const Node* source) { return source != nullptr; }));
        if (node->unplacedInputs == 0) {
            order.push_back(node);
        }
    }
    for (std::size_t next = 0; next < order.size(); ++next) {
        for (Node* target : order[next]->downstream) {
            if (--target->unplacedInputs == 0) {
                order.push_back(target);
            }
        }
    }
    if (order.size() != nodes.size()) {
        throw std::logic_error("the graph has a cycle");
    }
    return order;
}

void Graph::Run() {
    for (Node* node : TopologicalOrder()) {
        ValueMap inputs;
        for (std::size_t input = 0; input < node->inputPins.size(); ++input) {
            const Node* source = node->upstream[input];
            if (source != nullptr && source->output) {
                inputs.emplace(node->inputPins[input], source->output);
            }
        }
        const ValueMap outputs = node->Execute(inputs);
        auto produced = outputs.find(node->outputPin);
        if (produced != outputs.end()) {
            node->output = produced->second;
        }
    }
}

const Node* Graph::Find(const Uuid& id) const {
    auto found = nodes.find(id);
    return found == nodes.end() ? nullptr : found->second.get();
}

} // namespace bench::baseline
