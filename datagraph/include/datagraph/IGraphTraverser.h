#pragma once

// Something that runs a graph once.

#include <datagraph/Export.h>

namespace datagraph {

/// @brief Something that runs a graph once.
///
/// Implemented by NodeExecutingGraphTraverser; Graph::Traverse runs one over the graph.
class DATAGRAPH_API IGraphTraverser {
public:
    virtual ~IGraphTraverser();
    IGraphTraverser() = default;
    IGraphTraverser(const IGraphTraverser&) = default;
    IGraphTraverser& operator=(const IGraphTraverser&) = default;

    virtual void Traverse() = 0;
};

} // namespace datagraph
