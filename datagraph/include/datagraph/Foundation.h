#pragma once

// Identifiers and the library's one failure type. A GUID names every graph execution subgraph,
// node and pin; every refused request surfaces as a GraphException whose what() is the message.
// The free functions may be called from any thread; CreateGUID keeps one generator per thread.

#include <datagraph/Export.h>

#include <boost/functional/hash.hpp>
#include <boost/uuid/uuid.hpp>

#include <functional>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

namespace datagraph {

using GUID = boost::uuids::uuid;
using IdentifierSet = std::unordered_set<GUID, boost::hash<GUID>, std::equal_to<GUID>>;
using IdentifierList = std::vector<GUID>;

/// A new random (RFC 4122 version 4) identifier: 122 bits from a generator kept per thread and
/// seeded from the operating system's entropy on its thread's first call, and again in a forked
/// child, so that a child never repeats its parent's identifiers. Throws
/// boost::uuids::entropy_error when the system has no entropy to give.
DATAGRAPH_API GUID CreateGUID();

/// Parses the 8-4-4-4-12 text form, hexadecimal digits in either case; white space (space, tab,
/// line feed, vertical tab, form feed, carriage return) before and between the characters is
/// skipped and whatever follows the 32nd digit is ignored. Text that
/// does not parse gives the null GUID.
DATAGRAPH_API GUID GUIDFromString(const std::string& text);

/// The 36-character lower-case 8-4-4-4-12 text form.
DATAGRAPH_API std::string GUIDToString(const GUID& guid);

DATAGRAPH_API GUID GetNullGUID();

/// @brief The library's one failure type.
///
/// Every refused request raises it, and its what() is the check's message exactly; a refused
/// request leaves the graph as it was.
class DATAGRAPH_API GraphException : public std::logic_error {
public:
    explicit GraphException(const std::string& message);
    explicit GraphException(const std::logic_error& other);
    GraphException(const GraphException& other);
    GraphException(GraphException&& other) noexcept;
    GraphException& operator=(const GraphException& other);
    GraphException& operator=(GraphException&& other) noexcept;
    ~GraphException() override;
};

/// Throws GraphException(message) when `condition` is false.
DATAGRAPH_API void GraphAssert(bool condition, std::string message);

/// Throws a GraphException with an empty message when `condition` is false.
DATAGRAPH_API void GraphAssert(bool condition);

} // namespace datagraph
