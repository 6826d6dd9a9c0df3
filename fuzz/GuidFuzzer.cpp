// Feeds arbitrary text to GUIDFromString and checks it against a parser written from the text
// form's description: white space before and between characters is skipped, two hexadecimal
// digits (either case) per byte, a hyphen after bytes 3, 5, 7 and 9, nothing read past the 32nd
// digit, and the null GUID for anything else. Whatever parses must print as 36 lower-case
// characters and parse back to itself. Both text functions must also give exactly what the
// string-stream versions they replace give.

#include <datagraph/Foundation.h>

#include <boost/uuid/uuid_io.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

using datagraph::GUID;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c) {
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

GUID ReferenceParse(const std::string& text) {
    std::size_t position = 0;
    auto next = [&](char& c) {
        while (position < text.size() && IsSpace(text[position])) {
            ++position;
        }
        if (position == text.size()) {
            return false;
        }
        c = text[position++];
        return true;
    };
    GUID guid = datagraph::GetNullGUID();
    for (std::size_t i = 0; i < guid.size(); ++i) {
        char high = 0;
        char low = 0;
        if (!next(high) || DigitValue(high) < 0 || !next(low) || DigitValue(low) < 0) {
            return datagraph::GetNullGUID();
        }
        guid.data[i] = static_cast<std::uint8_t>(DigitValue(high) << 4 | DigitValue(low));
        char hyphen = 0;
        if ((i == 3 || i == 5 || i == 7 || i == 9) && (!next(hyphen) || hyphen != '-')) {
            return datagraph::GetNullGUID();
        }
    }
    return guid;
}

GUID StreamParse(const std::string& text) {
    std::stringstream stream(text);
    GUID guid = datagraph::GetNullGUID();
    stream >> guid;
    return stream.fail() ? datagraph::GetNullGUID() : guid;
}

bool IsCanonical(const std::string& text) {
    if (text.size() != 36) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        const char c = text[i];
        if (hyphenPlace ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

[[noreturn]] void Fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "%s for text \"%s\"\n", what, text.c_str());
    std::abort();
}

void CheckRoundTrip(const GUID& guid, const std::string& origin) {
    const std::string printed = datagraph::GUIDToString(guid);
    if (printed != boost::uuids::to_string(guid)) {
        Fail("GUIDToString disagrees with the stream library's text form", origin);
    }
    if (!IsCanonical(printed)) {
        Fail("GUIDToString does not give the 8-4-4-4-12 lower-case form", origin);
    }
    if (datagraph::GUIDFromString(printed) != guid) {
        Fail("the printed form does not parse back to the same GUID", origin);
    }
    std::string upper = printed;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    if (datagraph::GUIDFromString(upper) != guid) {
        Fail("the upper-case printed form parses to another GUID", origin);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const GUID parsed = datagraph::GUIDFromString(text);
    if (parsed != ReferenceParse(text)) {
        Fail("GUIDFromString disagrees with the described text form", text);
    }
    if (parsed != StreamParse(text)) {
        Fail("GUIDFromString disagrees with the string-stream parser", text);
    }
    CheckRoundTrip(parsed, text);
    if (size >= 16) {
        GUID raw;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            raw.data[i] = data[i];
        }
        CheckRoundTrip(raw, text.substr(0, 16));
    }
    return 0;
}
