#pragma once

// A catalogue of node functions that a host may offer. The library declares this interface for
// hosts to share; it neither implements nor calls it.

#include <datagraph/Foundation.h>
#include <datagraph/INodeFunction.h>

#include <memory>
#include <string>
#include <vector>

namespace datagraph {

/// @brief A catalogue of node functions that a host may offer.
///
/// The library declares this interface for hosts to share; it neither implements nor calls it.
class DATAGRAPH_API INodeLibrary {
public:
    virtual ~INodeLibrary();
    INodeLibrary() = default;
    INodeLibrary(const INodeLibrary&) = default;
    INodeLibrary& operator=(const INodeLibrary&) = default;

    virtual std::string GetLibraryName() const = 0;
    /// The class identifiers (INodeFunction::GetClassIdentifier) of the functions offered.
    virtual std::vector<std::string> GetClassIdentifiers() const = 0;
    /// A new function of the given class with the given id; empty for an unknown class.
    virtual std::shared_ptr<INodeFunction> CreateNodeFunction(const std::string& classIdentifier,
                                                              const GUID& id) const = 0;
    virtual bool HasClassIdentifier(const std::string& classIdentifier) const = 0;
};

} // namespace datagraph
