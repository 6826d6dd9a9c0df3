#pragma once

// Everything a host needs, in one include.

#include <datagraph/Diagnostics.h>
#include <datagraph/Foundation.h>
#include <datagraph/FunctionNode.h>
#include <datagraph/Graph.h>
#include <datagraph/HelloWorld.h>
#include <datagraph/IDataValue.h>
#include <datagraph/IEditableGraph.h>
#include <datagraph/IEditablePin.h>
#include <datagraph/EditHistory.h>
#include <datagraph/IGraphEditObserver.h>
#include <datagraph/IGraphTraverser.h>
#include <datagraph/INodeFunction.h>
#include <datagraph/INodeLibrary.h>
#include <datagraph/ITraversableGraph.h>
#include <datagraph/ITraversableNode.h>
#include <datagraph/ITraversablePin.h>
#include <datagraph/ITraversalObserver.h>
#include <datagraph/InputList.h>
#include <datagraph/Node.h>
#include <datagraph/NodeExecutingGraphTraverser.h>
#include <datagraph/Pin.h>
#include <datagraph/UbernodeNodeFunction.h>
#include <datagraph/Value.h>
