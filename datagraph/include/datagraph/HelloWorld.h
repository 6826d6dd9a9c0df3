#pragma once

// A sample class exported by the module.

#include <datagraph/Export.h>

/// @brief The module's sample class.
///
/// Exported in the global namespace; it keeps no state.
class DATAGRAPH_API HelloWorld {
public:
    HelloWorld() = default;
    HelloWorld(const HelloWorld&) = default;
    HelloWorld& operator=(const HelloWorld& other);
    HelloWorld& operator=(HelloWorld&& other);

    /// Returns 42.
    int doHello();
};
