#pragma once

// The side of a node that a traverser works with: its names, one execution, and its dirty mark.

#include <datagraph/Foundation.h>

#include <string>

namespace datagraph {

/// @brief The side of a node that a traverser works with: its names, one execution, and its dirty
/// mark.
///
/// Used by one thread at a time.
class DATAGRAPH_API ITraversableNode {
public:
    virtual ~ITraversableNode();
    ITraversableNode() = default;
    ITraversableNode(const ITraversableNode&) = default;
    ITraversableNode& operator=(const ITraversableNode&) = default;

    virtual std::string GetNodeName() = 0;
    virtual std::string GetNodeDescription() = 0;
    virtual std::string GetPinName(const GUID& pinId) = 0;
    virtual std::string GetPinDescription(const GUID& pinId) = 0;
    virtual void Execute() = 0;
    virtual void SetDirty(bool dirty) = 0;
};

} // namespace datagraph
