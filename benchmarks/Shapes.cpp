#include "Shapes.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unordered_set>

namespace bench {

namespace {

[[noreturn]] void Malformed(const std::string& path, std::size_t line, const std::string& why) {
    throw std::runtime_error(path + ":" + std::to_string(line) + ": " + why);
}

void Index(Shape& shape) {
    shape.upstream.assign(shape.nodeCount, {});
    shape.downstream.assign(shape.nodeCount, {});
    for (const Edge& edge : shape.edges) {
        shape.upstream[edge.to].push_back(edge.from);
        shape.downstream[edge.from].push_back(edge.to);
    }
}

// The header comment ends with the node and edge counts: "# <name> <source> <nodes> <edges>".
void ReadHeaderCounts(const std::string& path, const std::string& text, std::size_t& nodes,
                      std::size_t& edges) {
    std::istringstream fields(text);
    std::vector<std::string> words{std::istream_iterator<std::string>(fields),
                                   std::istream_iterator<std::string>()};
    if (words.size() < 3 || words.front() != "#") {
        Malformed(path, 1, "expected the header '# <name> <source> <nodes> <edges>'");
    }
    try {
        nodes = std::stoul(words[words.size() - 2]);
        edges = std::stoul(words[words.size() - 1]);
    } catch (const std::logic_error&) {
        Malformed(path, 1, "the header does not end with the node and edge counts");
    }
}

bool ReadPair(const std::string& text, const char* prefix, std::uint64_t& a, std::uint64_t& b) {
    std::istringstream fields(text);
    std::string word;
    if (prefix != nullptr && (!(fields >> word) || word != prefix)) {
        return false;
    }
    std::string rest;
    if (prefix != nullptr) {
        b = 0;
        return static_cast<bool>(fields >> a) && !(fields >> rest);
    }
    return static_cast<bool>(fields >> a >> b) && !(fields >> rest);
}

void CheckEdge(const std::string& path, std::size_t line, const Shape& shape, std::uint64_t from,
               std::uint64_t to, std::unordered_set<std::uint64_t>& seen) {
    if (from >= shape.nodeCount || to >= shape.nodeCount) {
        Malformed(path, line, "endpoint out of range");
    }
    if (from == to) {
        Malformed(path, line, "self-loop");
    }
    if (!seen.insert(from * shape.nodeCount + to).second) {
        Malformed(path, line, "duplicate edge");
    }
}

std::string StemOf(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    return name.substr(0, name.rfind('.'));
}

} // namespace

Shape LoadEdgeList(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error(path + ": cannot be read");
    }
    Shape shape;
    shape.name = StemOf(path);
    std::string text;
    std::size_t headerNodes = 0;
    std::size_t headerEdges = 0;
    if (!std::getline(in, text)) {
        Malformed(path, 1, "empty file");
    }
    ReadHeaderCounts(path, text, headerNodes, headerEdges);
    std::uint64_t count = 0;
    std::uint64_t unused = 0;
    if (!std::getline(in, text) || !ReadPair(text, "N", count, unused)) {
        Malformed(path, 2, "expected 'N <count>'");
    }
    if (count != headerNodes) {
        Malformed(path, 2, "node count disagrees with the header");
    }
    shape.nodeCount = count;
    std::unordered_set<std::uint64_t> seen;
    std::size_t line = 2;
    while (std::getline(in, text)) {
        ++line;
        std::uint64_t from = 0;
        std::uint64_t to = 0;
        if (!ReadPair(text, nullptr, from, to)) {
            Malformed(path, line, "expected 'u v'");
        }
        CheckEdge(path, line, shape, from, to, seen);
        shape.edges.push_back({static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(to)});
    }
    if (shape.edges.size() != headerEdges) {
        Malformed(path, line, "edge count disagrees with the header");
    }
    Index(shape);
    if (KahnOrder(shape).size() != shape.nodeCount) {
        Malformed(path, line, "the graph has a cycle");
    }
    return shape;
}

Shape MakeLayered(std::size_t layers, std::size_t width, std::uint64_t seed) {
    Shape shape;
    shape.name = "layered";
    shape.nodeCount = layers * width;
    std::mt19937_64 rng(seed);
    for (std::size_t layer = 1; layer < layers; ++layer) {
        const std::size_t above = (layer - 1) * width;
        for (std::size_t column = 0; column < width; ++column) {
            const auto node = static_cast<std::uint32_t>(layer * width + column);
            const std::size_t first = rng() % width;
            std::size_t second = rng() % width;
            while (second == first) {
                second = rng() % width;
            }
            shape.edges.push_back({static_cast<std::uint32_t>(above + first), node});
            shape.edges.push_back({static_cast<std::uint32_t>(above + second), node});
        }
    }
    Index(shape);
    return shape;
}

Shape MakeChain(std::size_t nodeCount) {
    Shape shape;
    shape.name = "chain";
    shape.nodeCount = nodeCount;
    for (std::size_t node = 1; node < nodeCount; ++node) {
        shape.edges.push_back(
            {static_cast<std::uint32_t>(node - 1), static_cast<std::uint32_t>(node)});
    }
    Index(shape);
    return shape;
}

std::vector<std::uint32_t> KahnOrder(const Shape& shape) {
    std::vector<std::size_t> pending(shape.nodeCount);
    std::vector<std::uint32_t> order;
    order.reserve(shape.nodeCount);
    for (std::uint32_t node = 0; node < shape.nodeCount; ++node) {
        pending[node] = shape.upstream[node].size();
        if (pending[node] == 0) {
            order.push_back(node);
        }
    }
    for (std::size_t next = 0; next < order.size(); ++next) {
        for (std::uint32_t downstream : shape.downstream[order[next]]) {
            if (--pending[downstream] == 0) {
                order.push_back(downstream);
            }
        }
    }
    return order;
}

std::vector<std::uint64_t> ReferenceValues(const Shape& shape) {
    std::vector<std::uint64_t> values(shape.nodeCount);
    for (std::uint32_t node : KahnOrder(shape)) {
        std::uint64_t sum = 1;
        for (std::uint32_t upstream : shape.upstream[node]) {
            sum += values[upstream];
        }
        values[node] = sum;
    }
    return values;
}

bool IsTopologicalOrder(const Shape& shape, const std::vector<std::uint32_t>& order) {
    constexpr std::size_t unplaced = ~std::size_t{0};
    std::vector<std::size_t> position(shape.nodeCount, unplaced);
    for (std::size_t index = 0; index < order.size(); ++index) {
        if (order[index] >= shape.nodeCount || position[order[index]] != unplaced) {
            return false;
        }
        position[order[index]] = index;
    }
    if (order.size() != shape.nodeCount) {
        return false;
    }
    return std::all_of(shape.edges.begin(), shape.edges.end(),
                       [&](const Edge& edge) { return position[edge.from] < position[edge.to]; });
}

namespace {

boost::uuids::uuid RandomUuid(std::mt19937_64& rng) {
    boost::uuids::uuid id{};
    const std::uint64_t high = rng();
    const std::uint64_t low = rng();
    for (std::size_t byte = 0; byte < 8; ++byte) {
        id.data[byte] = static_cast<std::uint8_t>(high >> (8 * byte));
        id.data[8 + byte] = static_cast<std::uint8_t>(low >> (8 * byte));
    }
    id.data[6] = static_cast<std::uint8_t>((id.data[6] & 0x0F) | 0x40); // version 4
    id.data[8] = static_cast<std::uint8_t>((id.data[8] & 0x3F) | 0x80); // RFC 4122 variant
    return id;
}

} // namespace

Identifiers MakeIdentifiers(const Shape& shape, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    Identifiers ids;
    ids.nodes.reserve(shape.nodeCount);
    ids.inputPins.resize(shape.nodeCount);
    ids.outputPins.reserve(shape.nodeCount);
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        ids.nodes.push_back(RandomUuid(rng));
        for (std::size_t input = 0; input < shape.upstream[node].size(); ++input) {
            ids.inputPins[node].push_back(RandomUuid(rng));
        }
        ids.outputPins.push_back(RandomUuid(rng));
    }
    return ids;
}

Workload MakeWorkload(Shape shape) {
    Workload workload;
    workload.ids = MakeIdentifiers(shape, 42);
    workload.expected = ReferenceValues(shape);
    workload.destroyOrder.resize(shape.nodeCount);
    for (std::uint32_t node = 0; node < shape.nodeCount; ++node) {
        workload.destroyOrder[node] = node;
    }
    std::mt19937_64 rng(7);
    std::shuffle(workload.destroyOrder.begin(), workload.destroyOrder.end(), rng);
    workload.shape = std::move(shape);
    return workload;
}

} // namespace bench
