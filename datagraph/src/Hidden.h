#pragma once

// Marks a type or function of the library's own that no host may reach. Most of the library is
// hidden by the build's default visibility already; a type declared inside an exported class, or
// a template whose instantiations could otherwise be exported with it, says so explicitly.
#define DATAGRAPH_HIDDEN __attribute__((visibility("hidden")))
