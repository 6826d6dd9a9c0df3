// The interfaces' destructors live here so that their vtables and type information have one
// home, in the library, and compare equal across module boundaries.

#include <datagraph/IDataValue.h>
#include <datagraph/IEditableGraph.h>
#include <datagraph/IEditablePin.h>
#include <datagraph/IGraphTraverser.h>
#include <datagraph/INodeFunction.h>
#include <datagraph/INodeLibrary.h>
#include <datagraph/ITraversableGraph.h>
#include <datagraph/ITraversableNode.h>
#include <datagraph/ITraversablePin.h>

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

} // namespace datagraph
