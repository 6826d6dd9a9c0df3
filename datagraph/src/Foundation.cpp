#include <datagraph/Foundation.h>

#include <boost/uuid/entropy_error.hpp>
#include <boost/uuid/nil_generator.hpp>

#include <sys/mman.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>

namespace datagraph {

namespace {

void FillWithEntropy(void* buffer, std::size_t size) {
    auto* at = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t got = getrandom(at, size, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            throw boost::uuids::entropy_error(errno, "getrandom");
        }
        at += got;
        size -= static_cast<std::size_t>(got);
    }
}

// The seed sequence that hands an engine the operating system's entropy, every word of its state.
class SystemEntropy {
public:
    using result_type = std::uint_least32_t;

    template <typename Iterator> void generate(Iterator begin, Iterator end) {
        std::uint_least32_t words[64];
        while (begin != end) {
            std::size_t count = 0;
            for (Iterator at = begin; at != end && count < 64; ++at) {
                ++count;
            }
            FillWithEntropy(words, count * sizeof(words[0]));
            for (std::size_t i = 0; i < count; ++i, ++begin) {
                *begin = words[i];
            }
        }
    }
};

constexpr std::uint64_t kForkMark = 0x6b65736964676e72;

// A page that holds kForkMark in the process that made it and that the kernel hands a forked
// child empty (MADV_WIPEONFORK). While it holds the mark, no generator can have been copied by
// fork(), so the identifiers need no system call. Made once per load of the library and never
// written again, so threads only ever read it; null where the kernel cannot wipe it.
const std::uint64_t* MakeForkMark() {
    const long pageSize = sysconf(_SC_PAGESIZE);
    const std::size_t size = pageSize > 0 ? static_cast<std::size_t>(pageSize) : 4096;
    void* page = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) {
        return nullptr;
    }
#ifdef MADV_WIPEONFORK
    if (madvise(page, size, MADV_WIPEONFORK) == 0) {
        *static_cast<std::uint64_t*>(page) = kForkMark;
        return static_cast<const std::uint64_t*>(page);
    }
#endif
    munmap(page, size);
    return nullptr;
}

struct ThreadGenerator {
    std::mt19937_64 engine;
    pid_t seededIn = 0; // 0 until seeded
};

// A generator copied into a forked child would repeat the parent's identifiers: the child finds
// the mark wiped and compares process ids, and reseeds when the id is no longer its own.
void SeedIfNeeded(ThreadGenerator& generator) {
    static const std::uint64_t* const forkMark = MakeForkMark();
    const bool unforked = forkMark != nullptr && *forkMark == kForkMark;
    if (generator.seededIn != 0 && (unforked || generator.seededIn == getpid())) {
        return;
    }
    SystemEntropy entropy;
    generator.engine.seed(entropy);
    generator.seededIn = getpid();
}

int HexDigitValue(int c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The next character that is not white space, or -1 at the end of the text.
int NextCharacter(const char*& at, const char* end) {
    while (at != end && IsSpace(*at)) {
        ++at;
    }
    return at == end ? -1 : static_cast<unsigned char>(*at++);
}

} // namespace

GUID CreateGUID() {
    // One generator per thread, so that no state is shared between threads.
    thread_local ThreadGenerator generator;
    SeedIfNeeded(generator);
    const std::uint64_t words[2] = {generator.engine(), generator.engine()};
    GUID guid;
    static_assert(sizeof(words) == sizeof(guid.data), "16 random bytes");
    std::memcpy(guid.data, words, sizeof(words));
    guid.data[6] = static_cast<std::uint8_t>((guid.data[6] & 0x0f) | 0x40); // version 4
    guid.data[8] = static_cast<std::uint8_t>((guid.data[8] & 0x3f) | 0x80); // RFC 4122 variant
    return guid;
}

// White space is the classic set (space, \t, \n, \v, \f, \r) whatever the global locale.
GUID GUIDFromString(const std::string& text) {
    const char* at = text.data();
    const char* const end = at + text.size();
    GUID guid;
    for (std::size_t i = 0; i < guid.size(); ++i) {
        const int high = HexDigitValue(NextCharacter(at, end));
        const int low = high < 0 ? -1 : HexDigitValue(NextCharacter(at, end));
        if (low < 0) {
            return boost::uuids::nil_uuid();
        }
        guid.data[i] = static_cast<std::uint8_t>(high << 4 | low);
        if ((i == 3 || i == 5 || i == 7 || i == 9) && NextCharacter(at, end) != '-') {
            return boost::uuids::nil_uuid();
        }
    }
    return guid;
}

std::string GUIDToString(const GUID& guid) {
    static const char digits[] = "0123456789abcdef";
    std::string text(36, '-');
    std::size_t at = 0;
    for (std::size_t i = 0; i < guid.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            ++at; // keeps the hyphen
        }
        text[at++] = digits[guid.data[i] >> 4];
        text[at++] = digits[guid.data[i] & 0x0f];
    }
    return text;
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
