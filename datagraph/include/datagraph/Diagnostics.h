#pragma once

// Seeing a graph and finding out why it does not run as expected: a Graphviz picture, a cycle
// finder and a check of the whole graph (the traversal observer is ITraversalObserver). They only
// read the graph, raise no GraphException for a malformed one, and write to no file: the picture
// goes to the stream the host hands in. Used by one thread at a time, like the graph.

#include <datagraph/Foundation.h>
#include <datagraph/Graph.h>
#include <datagraph/IDataValue.h>
#include <datagraph/ITraversalObserver.h>

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace datagraph {

/// @brief What WriteGraphviz shows and how it names things.
///
/// Every field has a default that draws the whole graph; set only what the picture needs.
struct GraphvizOptions {
    std::string graphName = "datagraph";
    /// Shown as the title of each execution subgraph's cluster; a subgraph without a name here
    /// is shown by the first eight hexadecimal digits of its GUID.
    std::map<GUID, std::string> subgraphNames;
    /// The text shown for a value on a pin. When empty, a pin shows only whether it holds one.
    std::function<std::string(const IDataValue&)> describeValue;
};

/// Writes the graph in the DOT language: one table per node with its pins (name, type, value,
/// and a filled cell for the updated-data mark), links between pins, one cluster per execution
/// subgraph, and each ubernode's inner graph nested in the ubernode's cluster. A node filed
/// under several subgraphs is drawn once, in the one whose GUID comes first, and names the
/// others. Links that cannot carry a value (wrong side, types that differ) are drawn in red.
DATAGRAPH_API void WriteGraphviz(const Graph& graph, std::ostream& out,
                                 const GraphvizOptions& options = GraphvizOptions());

/// One cycle of links. `links[i]` is the (output pin, input pin) link that leads from
/// `nodes[i]` to the next node; the last leads back to `nodes[0]`. A node linked to itself is a
/// cycle of one node and one link.
struct GraphCycle {
    IdentifierList nodes;
    std::vector<std::pair<GUID, GUID>> links;
};

/// A cycle of links from output pins to input pins, empty when there is none. The same graph
/// always gives the same cycle; links from the wrong side of a pin are left to CheckGraph.
DATAGRAPH_API GraphCycle FindCycle(const Graph& graph);

/// @brief The kinds of problem CheckGraph reports.
///
/// One per rule that CheckGraph checks; a GraphProblem carries one of them with its message.
enum class GraphProblemKind {
    Cycle,                   ///< ids: the nodes of one cycle, in link order.
    LinkEndOnWrongSide,      ///< ids: the link's upstream and downstream pin.
    LinkedPinTypesDiffer,    ///< ids: the link's upstream and downstream pin.
    NodeNeverRuns,           ///< ids: the node, which has no link.
    SubgraphEntryNamesNoNode ///< ids: the execution subgraph and the id that names no node.
};

/// @brief One problem CheckGraph found, with a readable message.
///
/// CheckGraph never throws; it returns every problem it finds as one of these, naming the nodes
/// and pins involved.
struct GraphProblem {
    GraphProblemKind kind;
    IdentifierList ids;
    /// One sentence naming the nodes and pins by name and saying what the problem causes.
    std::string message;
};

/// Everything that would make a traversal fail or leave part of the graph idle, grouped by kind
/// in the order of GraphProblemKind; empty for a graph without such problems. At most one cycle
/// is reported.
DATAGRAPH_API std::vector<GraphProblem> CheckGraph(const Graph& graph);

} // namespace datagraph
