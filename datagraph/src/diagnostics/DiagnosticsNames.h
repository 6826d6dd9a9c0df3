#pragma once

// What the diagnostics share: readable names for types, nodes and pins, and the questions about
// a pin that the graph answers only by throwing. None of these raises a GraphException.

#include <datagraph/Graph.h>

#include <optional>
#include <string>
#include <typeinfo>

namespace datagraph::diagnostics {

enum class PinSide { Input, Output };

struct PinOwner {
    GUID node;
    PinSide side;
};

/// The owning node and side of a pin, or nothing for an id that no node of the graph owns.
std::optional<PinOwner> OwnerOf(const Graph& graph, const GUID& pinId);

/// The demangled name of a type, as a person writes it.
std::string TypeName(const std::type_info& type);

/// The node function's name in double quotes, or the GUID for an id that names no node.
std::string NodeName(const Graph& graph, const GUID& nodeId);

/// The pin's name as its node function gives it, or its GUID when the function cannot say.
std::string PinName(const Graph& graph, const GUID& pinId);

/// NodeName.PinName of the owning node, or the GUID for a pin that no node owns.
std::string QualifiedPinName(const Graph& graph, const GUID& pinId);

IdentifierList Sorted(const IdentifierSet& ids);

} // namespace datagraph::diagnostics
