#pragma once

// Something that runs a graph once.

#include <datagraph/Export.h>

namespace datagraph {

class DATAGRAPH_API IGraphTraverser {
public:
    virtual ~IGraphTraverser();
    IGraphTraverser() = default;
    IGraphTraverser(const IGraphTraverser&) = default;
    IGraphTraverser& operator=(const IGraphTraverser&) = default;

    virtual void Traverse() = 0;
};

} // namespace datagraph
