// The interfaces' destructors live here so that their vtables and type information have one
// home, in the library, and compare equal across module boundaries.

#include <datagraph/IDataValue.h>
#include <datagraph/IEditableGraph.h>
#include <datagraph/IEditablePin.h>
#include <datagraph/IGraphEditObserver.h>
#include <datagraph/IGraphTraverser.h>
#include <datagraph/INodeFunction.h>
#include <datagraph/INodeLibrary.h>
#include <datagraph/ITraversableGraph.h>
#include <datagraph/ITraversableNode.h>
#include <datagraph/ITraversablePin.h>
#include <datagraph/ITraversalObserver.h>

namespace datagraph {

IDataValue::~IDataValue() = default;
INodeFunction::~INodeFunction() = default;
INodeLibrary::~INodeLibrary() = default;
ITraversableNode::~ITraversableNode() = default;
IEditablePin::~IEditablePin() = default;
ITraversablePin::~ITraversablePin() = default;
IEditableGraph::~IEditableGraph() = default;
ITraversableGraph::~ITraversableGraph() = default;
IGraphTraverser::~IGraphTraverser() = default;
ITraversalObserver::~ITraversalObserver() = default;
IGraphEditObserver::~IGraphEditObserver() = default;

// A host overrides only what it wants to hear about.
void ITraversalObserver::NodeRan(const GUID&, std::chrono::nanoseconds) {}

void ITraversalObserver::NodeSkipped(const GUID&, SkipReason, const IdentifierSet&) {}

void ITraversalObserver::NodeFailed(const GUID&, const std::string&) {}

void IGraphEditObserver::NodeCreated(const GUID&) {}

void IGraphEditObserver::NodeDestroyed(const GUID&) {}

void IGraphEditObserver::PinCreated(const GUID&, const GUID&, bool) {}

void IGraphEditObserver::PinDestroyed(const GUID&, const GUID&, bool) {}

void IGraphEditObserver::LinkMade(const GUID&, const GUID&) {}

void IGraphEditObserver::LinkRemoved(const GUID&, const GUID&) {}

void IGraphEditObserver::PinDataWritten(const GUID&) {}

void IGraphEditObserver::PinMarkSet(const GUID&, bool) {}

void IGraphEditObserver::NodeDirtySet(const GUID&, bool) {}

void IGraphEditObserver::NodeDisabledSet(const GUID&, bool) {}

void IGraphEditObserver::NodeExecuted(const GUID&) {}

void IGraphEditObserver::NodeAssignedToExecutionSubgraph(const GUID&, const GUID&) {}

void IGraphEditObserver::SubgraphEntriesRemoved(const GUID&) {}

void IGraphEditObserver::NodeRemovedFromExecutionSubgraph(const GUID&, const GUID&) {}

void IGraphEditObserver::GraphCleared() {}

void IGraphEditObserver::GraphAssigned() {}

void IGraphEditObserver::TraversalFinished(const GUID&) {}

} // namespace datagraph
