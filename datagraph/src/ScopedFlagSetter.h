#pragma once

// Sets a flag for the life of a scope and restores it on every way out, exceptions included.

#include <functional>

namespace datagraph {

class ScopedFlagSetter {
public:
    /// Calls `setter(entryValue)` now and `setter(exitValue)` when the scope ends; an empty
    /// setter raises std::bad_function_call.
    ScopedFlagSetter(bool entryValue, bool exitValue, const std::function<void(bool)>& setter)
        : onExit([setter, exitValue] { setter(exitValue); }) {
        setter(entryValue);
    }

    ScopedFlagSetter(const ScopedFlagSetter&) = delete;
    ScopedFlagSetter& operator=(const ScopedFlagSetter&) = delete;

    ~ScopedFlagSetter() {
        if (onExit) {
            onExit();
        }
    }

private:
    std::function<void()> onExit;
};

} // namespace datagraph
