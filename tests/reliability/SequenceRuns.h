#pragma once

// What the random-sequence suites share: their figures from the environment, and the last steps
// of a failing sequence.

#include <cstddef>
#include <cstdlib>
#include <string>
#include <vector>

namespace datagraph::reliability {

/// The number in the environment variable `name`, or `fallback` when it is unset or empty.
inline long FromEnvironment(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

/// The last `count` lines of a sequence's log, indented, one per line.
inline std::string Tail(const std::vector<std::string>& log, std::size_t count) {
    std::string text;
    for (std::size_t i = log.size() > count ? log.size() - count : 0; i < log.size(); ++i) {
        text += "  " + log[i] + "\n";
    }
    return text;
}

} // namespace datagraph::reliability
