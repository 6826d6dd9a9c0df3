#include "TwinHarness.h"

#include <datagraph/Node.h>

#include <algorithm>

namespace datagraph::reliability {
namespace {

std::shared_ptr<const IDataValue> NewNumber(int content) {
    return std::make_shared<const Number>(content);
}

} // namespace

void TwinHarness::Touch(const GraphPath& path, const GUID& node) {
    for (int twin : {Full, Changed}) {
        Graph* graph = twins[twin].get();
        for (const GUID& ubernode : path) {
            Probe* probe = ProbeOf(graph->GetConstNode(ubernode));
            probe->touched = true;
            graph = probe->inner;
        }
        if (graph->HasNode(node)) {
            ProbeOf(graph->GetConstNode(node))->touched = true;
        }
    }
}

void TwinHarness::RandomEdit() {
    const std::uint32_t kind = choices.Below(100);
    const GraphPath path = PickPath();
    if (kind < 20) {
        WriteValue(path, static_cast<int>(kind % 3));
    } else if (kind < 30) {
        SetMark(path);
    } else if (kind < 42) {
        Link(path);
    } else if (kind < 50) {
        Unlink(path);
    } else if (kind < 56) {
        CreatePin(path);
    } else if (kind < 61) {
        DestroyPin(path);
    } else if (kind < 67) {
        CreateNode(path);
    } else if (kind < 71) {
        DestroyNode(path);
    } else if (kind < 75) {
        AssignToSubgraph();
    } else if (kind < 81) {
        MarkChanged(path);
    } else if (kind < 85) {
        ChangeExternalState();
    } else if (kind < 88) {
        ExecuteDirectly();
    } else if (kind < 90) {
        MakeCycle();
    } else if (kind < 91) {
        CopyBoth();
    } else {
        WriteValue(path, 0);
    }
}

// 0: PutDataOnPin with a new object; 1: PutDataOnPin with the object the pin holds; 2: SetData
// through the traversable pin, with either.
void TwinHarness::WriteValue(const GraphPath& path, int how) {
    const std::vector<GUID> pins = Pins(Resolve(Full, path));
    if (pins.empty()) {
        return;
    }
    const GUID pin = Pick(pins);
    const int content = static_cast<int>(choices.Below(6));
    // The object the pin holds, when it holds one: a refused write of nothing would touch no node.
    const bool same = (how == 1 || (how == 2 && choices.Chance(50))) &&
                      Resolve(Full, path).GetDataFromPin(pin) != nullptr;
    const std::string what = how == 2 ? "SetData" : "PutDataOnPin";
    Both(
        what + (same ? " of the same object" : " of " + std::to_string(content)) + " on " +
            Named(path, pin),
        path,
        [&](Graph& graph, int) {
            std::shared_ptr<const IDataValue> value =
                same ? graph.GetDataFromPin(pin) : NewNumber(content);
            if (how == 2) {
                graph.GetTraversablePin(pin).SetData(std::move(value));
            } else {
                graph.PutDataOnPin(pin, std::move(value));
            }
        },
        Resolve(Full, path).GetOwningNode(pin));
}

void TwinHarness::SetMark(const GraphPath& path) {
    const std::vector<GUID> pins = Pins(Resolve(Full, path));
    if (pins.empty()) {
        return;
    }
    const GUID pin = Pick(pins);
    // A marked empty output fails the move of every run that executes its node, or finds it
    // up to date with its moves still to make.
    const bool mark = choices.Chance(30);
    Both((mark ? "SetUpdatedData(true) on " : "SetUpdatedData(false) on ") + Named(path, pin), path,
         [&](Graph& graph, int) { graph.GetTraversablePin(pin).SetUpdatedData(mark); },
         Resolve(Full, path).GetOwningNode(pin));
}

void TwinHarness::Link(const GraphPath& path) {
    const Graph& graph = Resolve(Full, path);
    std::vector<GUID> outputs;
    std::vector<GUID> free;
    std::vector<GUID> linked;
    for (const GUID& pin : Pins(graph)) {
        (IsOutput(graph, pin) ? outputs : graph.HasUpstreamPin(pin) ? linked : free).push_back(pin);
    }
    if (!linked.empty() && choices.Chance(5)) { // a link already there: accepted, no change
        const GUID to = Pick(linked);
        const GUID from = graph.GetUpstreamPin(to);
        Both(
            "LinkPins again " + Named(path, from) + " -> " + Named(path, to), path,
            [&](Graph& g, int) { g.LinkPins(from, to); }, GetNullGUID(), false);
        return;
    }
    if (outputs.empty() || free.empty()) {
        return;
    }
    const GUID to = Pick(free);
    const GUID from = Pick(outputs);
    if (Reaches(graph, graph.GetOwningNode(to), graph.GetOwningNode(from))) {
        return; // cycles come from MakeCycle only
    }
    Both("LinkPins " + Named(path, from) + " -> " + Named(path, to), path,
         [&](Graph& g, int) { g.LinkPins(from, to); });
}

void TwinHarness::Unlink(const GraphPath& path) {
    const Graph& graph = Resolve(Full, path);
    std::vector<GUID> linked;
    for (const GUID& pin : Pins(graph)) {
        if (!IsOutput(graph, pin) && graph.HasUpstreamPin(pin)) {
            linked.push_back(pin);
        }
    }
    if (linked.empty()) {
        return;
    }
    const GUID to = Pick(linked);
    const GUID from = graph.GetUpstreamPin(to);
    if (choices.Chance(50)) {
        Both("UnlinkPins " + Named(path, from) + " -> " + Named(path, to), path,
             [&](Graph& g, int) { g.UnlinkPins(from, to); });
    } else {
        Both("UnlinkInputPin " + Named(path, to), path,
             [&](Graph& g, int) { g.UnlinkInputPin(to); });
    }
}

void TwinHarness::CreatePin(const GraphPath& path) {
    const Graph& graph = Resolve(Full, path);
    std::vector<GUID> nodes;
    for (const GUID& node : Nodes(graph)) {
        if (!IsUbernode(graph, node)) {
            nodes.push_back(node);
        }
    }
    if (nodes.empty()) {
        return;
    }
    const GUID node = Pick(nodes);
    const GUID pin = NextId();
    const bool output = choices.Chance(50);
    Both((output ? "CreateOutputPin on " : "CreateInputPin on ") + Named(path, node), path,
         [&](Graph& g, int) {
             if (output) {
                 g.CreateOutputPin(node, pin, typeid(Number));
                 ProbeOf(g.GetConstNode(node))->outputs.push_back(pin);
             } else {
                 g.CreateInputPin(node, pin, typeid(Number));
             }
         },
         node);
}

void TwinHarness::DestroyPin(const GraphPath& path) {
    const Graph& graph = Resolve(Full, path);
    std::vector<GUID> pins;
    for (const GUID& pin : Pins(graph)) {
        if (protectedPins.count(pin) == 0 && !IsUbernode(graph, graph.GetOwningNode(pin))) {
            pins.push_back(pin);
        }
    }
    if (pins.empty()) {
        return;
    }
    const GUID pin = Pick(pins);
    const GUID node = graph.GetOwningNode(pin);
    const bool output = IsOutput(graph, pin);
    Both((output ? "DestroyOutputPin " : "DestroyInputPin ") + Named(path, pin), path,
         [&](Graph& g, int) {
             if (output) {
                 g.DestroyOutputPin(node, pin);
                 std::vector<GUID>& written = ProbeOf(g.GetConstNode(node))->outputs;
                 written.erase(std::remove(written.begin(), written.end(), pin), written.end());
             } else {
                 g.DestroyInputPin(node, pin);
             }
         },
         node);
}

} // namespace datagraph::reliability
