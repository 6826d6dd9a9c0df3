#include "ChangeProbes.h"

#include <datagraph/Node.h>

#include <algorithm>
#include <utility>

namespace datagraph::reliability {
namespace {

std::uint32_t Mix(std::uint32_t hash, std::uint32_t word) {
    hash ^= word + 0x9e3779b9u + (hash << 6) + (hash >> 2);
    return hash * 0x85ebca6bu;
}

std::uint32_t Mix(std::uint32_t hash, const GUID& id) {
    for (const std::uint8_t byte : id.data) {
        hash = Mix(hash, byte);
    }
    return hash;
}

bool SameObjects(const DataMap& a, const DataMap& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (const auto& [pinId, value] : a) {
        const auto found = b.find(pinId);
        if (found == b.end() || found->second.get() != value.get()) {
            return false;
        }
    }
    return true;
}

// A probe for a clone: the harness's settings, none of the history.
std::shared_ptr<Probe> FreshCopy(const Probe& other) {
    auto probe = std::make_shared<Probe>();
    probe->ledger = other.ledger;
    probe->top = other.top;
    probe->checked = other.checked;
    probe->emulate = other.emulate;
    probe->outputs = other.outputs;
    return probe;
}

Schema SchemaOf(const std::vector<GUID>& pins) {
    Schema schema;
    for (const GUID& pin : pins) {
        schema.emplace(pin, typeid(Number));
    }
    return schema;
}

} // namespace

void Probe::SawInputs(const DataMap& inputs) {
    sawOtherInputs = sawOtherInputs || (!fresh && !SameObjects(inputs, lastInputs));
}

bool Probe::HasReason(const DataMap& inputs) const {
    return fresh || touched || lastFailed || sawOtherInputs || !SameObjects(inputs, lastInputs);
}

bool Probe::Called(const std::string& nodeName, const DataMap& inputs) {
    const bool reason = HasReason(inputs);
    if (ledger != nullptr && top && (reason || !emulate)) {
        ++ledger->executions;
        ledger->called.push_back(nodeName);
    }
    if (checked && !reason && !emulate) {
        ledger->violations.push_back("node " + nodeName +
                                     " executed although nothing it depends on changed");
    }
    fresh = false;
    touched = false;
    sawOtherInputs = false;
    lastInputs = inputs;
    return reason || !checked || !emulate;
}

Probe* ProbeOf(const Node& node) {
    const auto* probed = dynamic_cast<const Probed*>(&node.GetNodeFunction());
    return probed != nullptr ? &probed->GetProbe() : nullptr;
}

int ContentOf(const IDataValue* value) {
    if (value == nullptr) {
        return -1;
    }
    const auto* number = dynamic_cast<const Number*>(value);
    return number != nullptr ? number->Content() : -2;
}

ProbedFunction::ProbedFunction(std::shared_ptr<const Behaviour> behaviour)
    : behaviour(std::move(behaviour))
    , probe(std::make_shared<Probe>()) {
    probe->outputs = this->behaviour->outputs;
}

ProbedFunction::ProbedFunction(const ProbedFunction& other)
    : INodeFunction(other)
    , Probed(other)
    , behaviour(other.behaviour)
    , probe(FreshCopy(*other.probe)) {}

ProbedFunction::~ProbedFunction() = default;

std::shared_ptr<INodeFunction> ProbedFunction::Clone() const {
    return std::make_shared<ProbedFunction>(*this);
}

DataMap ProbedFunction::Execute(const DataMap& inputs) {
    if (!probe->Called(behaviour->name, inputs)) {
        return {}; // as if skipped: the outputs keep their objects
    }
    probe->lastFailed = true;
    const std::uint32_t digest = Digest(inputs);
    if (behaviour->failEvery != 0 && digest % behaviour->failEvery == 0) {
        throw GraphException(behaviour->name + " refuses its inputs");
    }
    if (behaviour->hostFailEvery != 0 && (digest >> 4) % behaviour->hostFailEvery == 0) {
        throw HostFailure(behaviour->name + " gives up");
    }
    DataMap outputs;
    if (behaviour->omitEvery == 0 || (digest >> 8) % behaviour->omitEvery != 0) {
        for (const GUID& pin : probe->outputs) {
            outputs.emplace(pin, Output(outputs.size(), digest, inputs));
        }
    }
    probe->lastFailed = false;
    return outputs;
}

Schema ProbedFunction::GetInputSchema() const {
    return SchemaOf(behaviour->inputs);
}

Schema ProbedFunction::GetOutputSchema() const {
    return SchemaOf(behaviour->outputs);
}

std::uint32_t ProbedFunction::Digest(const DataMap& inputs) const {
    std::vector<std::pair<GUID, int>> contents;
    for (const auto& [pinId, value] : inputs) {
        contents.emplace_back(pinId, ContentOf(value.get()));
    }
    std::sort(contents.begin(), contents.end());
    std::uint32_t digest = behaviour->salt;
    for (const auto& [pinId, content] : contents) {
        digest = Mix(Mix(digest, pinId), static_cast<std::uint32_t>(content));
    }
    if (behaviour->external != nullptr) {
        digest = Mix(digest, static_cast<std::uint32_t>(*behaviour->external));
    }
    return digest;
}

std::shared_ptr<const IDataValue> ProbedFunction::Output(std::size_t k, std::uint32_t digest,
                                                         const DataMap& inputs) {
    const GUID& pin = probe->outputs[k];
    const auto declared = std::find(behaviour->outputs.begin(), behaviour->outputs.end(), pin);
    const OutputMode mode = declared == behaviour->outputs.end()
                                ? OutputMode::Compute
                                : behaviour->modes[declared - behaviour->outputs.begin()];
    const std::uint32_t hash = Mix(digest, pin);
    if (mode == OutputMode::PassThrough && !behaviour->inputs.empty()) {
        const auto found = inputs.find(behaviour->inputs[hash % behaviour->inputs.size()]);
        if (found != inputs.end()) {
            return found->second;
        }
    }
    if (mode != OutputMode::Memo) {
        return std::make_shared<const Number>(static_cast<int>(hash % 1000));
    }
    const int content = static_cast<int>(hash % 3);
    if (memo.size() <= k) {
        memo.resize(k + 1);
    }
    if (memo[k] == nullptr || ContentOf(memo[k].get()) != content) {
        memo[k] = std::make_shared<const Number>(content);
    }
    return memo[k];
}

ProbedUbernode::ProbedUbernode(std::shared_ptr<Graph> graph, const Schema& inputSchema,
                               const Schema& outputSchema, const std::string& name, GUID id)
    : UbernodeNodeFunction(std::move(graph), inputSchema, outputSchema, name, {}, id)
    , probe(std::make_shared<Probe>()) {
    probe->inner = GetGraph();
}

ProbedUbernode::ProbedUbernode(const ProbedUbernode& other)
    : UbernodeNodeFunction(other)
    , Probed(other)
    , probe(FreshCopy(*other.probe)) {
    probe->inner = GetGraph();
}

ProbedUbernode::~ProbedUbernode() = default;

std::shared_ptr<INodeFunction> ProbedUbernode::Clone() const {
    return std::make_shared<ProbedUbernode>(*this);
}

DataMap ProbedUbernode::Execute(const DataMap& inputs) {
    if (!probe->Called(GetName(), inputs)) {
        return {};
    }
    probe->lastFailed = true;
    DataMap outputs = UbernodeNodeFunction::Execute(inputs);
    probe->lastFailed = false;
    return outputs;
}

} // namespace datagraph::reliability
