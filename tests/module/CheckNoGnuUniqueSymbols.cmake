# Usage: cmake -DREADELF=<readelf> -DMODULE=<shared library> -P CheckNoGnuUniqueSymbols.cmake
#
# The dynamic loader never unloads a library that defines a symbol of GNU unique binding, so its
# exit routine (which takes the resource tree out of Qt again) would never run.

execute_process(COMMAND ${READELF} --dyn-syms -W ${MODULE}
    OUTPUT_VARIABLE symbols
    ERROR_VARIABLE errors
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${READELF} failed on ${MODULE}: ${errors}")
endif()
if(NOT symbols MATCHES "Symbol table '\\.dynsym'")
    message(FATAL_ERROR "${MODULE} has no dynamic symbol table to check")
endif()

string(REGEX MATCHALL "[^\n]* UNIQUE [^\n]*" unique "${symbols}")
if(unique)
    string(REPLACE ";" "\n" unique "${unique}")
    message(FATAL_ERROR "${MODULE} defines GNU unique symbols and cannot be unloaded:\n${unique}")
endif()
