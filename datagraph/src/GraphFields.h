#pragma once

// The graph's records. Kept out of the public header so that the indexes can change without
// touching what hosts compile against.

#include <datagraph/Graph.h>

#include "OneToManyMap.h"

#include <map>
#include <unordered_map>
#include <vector>

namespace datagraph {

struct __attribute__((visibility("hidden"))) Graph::Fields {
    using SubgraphTable = std::multimap<GUID, GUID>;

    explicit Fields(const GUID& defaultExecutionSubgraphID)
        : defaultExecutionSubgraphID(defaultExecutionSubgraphID) {}

    /// A deep copy whose nodes belong to `owner`. Nothing of `owner` is touched, so a Clone()
    /// that throws leaves it as it was.
    std::unique_ptr<Fields> DeepCopy(Graph& owner) const;

    GUID defaultExecutionSubgraphID;
    SubgraphTable executionSubgraphToNodes;
    NodeMap nodes;
    PinMap pins;
    OneToManyMap nodeToInputPins;
    OneToManyMap nodeToOutputPins;
    OneToManyMap pinToPinEdges;
    bool traversalInProgress = false;

    // The entries of executionSubgraphToNodes that name each node id, so that destroying a node
    // does not walk the whole table.
    std::unordered_map<GUID, std::vector<SubgraphTable::iterator>, boost::hash<GUID>,
                       std::equal_to<GUID>>
        subgraphEntriesOfNode;
};

} // namespace datagraph
