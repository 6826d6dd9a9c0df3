# Usage: cmake -DRCC_OUTPUT=<qrc_*.cpp> -P CheckResourceFormatVersion.cmake
#
# Qt 5's resource compiler writes format version 3 unless told otherwise, which Qt 5 Core before
# 5.13 refuses; the module's tree must be version 2, and the version is visible only in the code
# that registers it.

file(STRINGS ${RCC_OUTPUT} versions REGEX "int version = ")
if(NOT versions)
    message(FATAL_ERROR "${RCC_OUTPUT} registers no resource tree")
endif()
foreach(line IN LISTS versions)
    if(NOT line MATCHES "int version = 2;")
        message(FATAL_ERROR "${RCC_OUTPUT} registers a tree of another format: ${line}")
    endif()
endforeach()
