#include <datagraph/Foundation.h>

#include <boost/uuid/nil_generator.hpp>
#include <boost/uuid/random_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

#include <sstream>
#include <utility>

namespace datagraph {

GUID CreateGUID() {
    // A fresh generator per call, so no state is shared between calls or threads. This is the
    // generator that draws straight from the operating system's entropy source: seeding a
    // Mersenne-Twister engine afresh for every identifier costs milliseconds.
    boost::uuids::random_generator generator;
    return generator();
}

GUID GUIDFromString(const std::string& text) {
    std::stringstream stream(text);
    GUID guid = boost::uuids::nil_uuid();
    stream >> guid;
    return stream.fail() ? boost::uuids::nil_uuid() : guid;
}

std::string GUIDToString(const GUID& guid) {
    return boost::uuids::to_string(guid);
}

GUID GetNullGUID() {
    return boost::uuids::nil_uuid();
}

GraphException::GraphException(const std::string& message)
    : std::logic_error(message) {}

GraphException::GraphException(const std::logic_error& other)
    : std::logic_error(other.what()) {}

GraphException::GraphException(const GraphException& other) = default;

// std::logic_error's message is reference-counted and immutable, so a "move" copies it and
// leaves the source's message in place.
GraphException::GraphException(GraphException&& other) noexcept
    : std::logic_error(static_cast<const std::logic_error&>(other)) {}

GraphException& GraphException::operator=(const GraphException& other) = default;

GraphException& GraphException::operator=(GraphException&& other) noexcept {
    std::logic_error::operator=(static_cast<const std::logic_error&>(other));
    return *this;
}

GraphException::~GraphException() = default;

void GraphAssert(bool condition, std::string message) {
    if (!condition) {
        throw GraphException(message);
    }
}

void GraphAssert(bool condition) {
    if (!condition) {
        throw GraphException(std::string());
    }
}

} // namespace datagraph
