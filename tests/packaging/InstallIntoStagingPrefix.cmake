# Usage: cmake -DBUILD_DIR=<build tree> -DCONFIG=<config> -DSTAGE=<dir> [-DREADELF=<readelf>]
#              -P InstallIntoStagingPrefix.cmake
#
# Installs the build tree into <dir>/installed, checks what landed there, then moves the whole
# prefix to <dir>/moved: a host must be able to use the package from wherever it ends up.

file(REMOVE_RECURSE ${STAGE})
set(config_option)
if(CONFIG)
    set(config_option --config ${CONFIG})
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} ${config_option} --prefix ${STAGE}/installed
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install into ${STAGE}/installed failed")
endif()

set(problems)
foreach(expected
        include/datagraph/DataGraph.h
        include/datagraph/Graph.h
        include/kescoreplatform/KLog.h)
    if(NOT EXISTS ${STAGE}/installed/${expected})
        list(APPEND problems "missing ${expected}")
    endif()
endforeach()

file(GLOB_RECURSE installed RELATIVE ${STAGE}/installed ${STAGE}/installed/*)
foreach(file IN LISTS installed)
    # Private headers and implementation details stay in the source tree.
    if(file MATCHES "(OneToManyMap|ScopedFlagSetter|GraphFields)\\.h$|/src/")
        list(APPEND problems "installed a private file: ${file}")
    endif()
endforeach()

file(GLOB_RECURSE libraries ${STAGE}/installed/*/libkesdatagraph.so)
file(GLOB_RECURSE configs ${STAGE}/installed/*/kesdatagraphConfig.cmake)
if(NOT libraries)
    list(APPEND problems "missing libkesdatagraph.so")
endif()
if(NOT configs)
    list(APPEND problems "missing kesdatagraphConfig.cmake")
endif()

# The installed library finds libkescoreplatform beside it, wherever the prefix is.
if(libraries AND READELF)
    execute_process(COMMAND ${READELF} -d ${libraries} OUTPUT_VARIABLE dynamic)
    if(NOT dynamic MATCHES "(RUNPATH|RPATH)[^\n]*\\[\\$ORIGIN\\]")
        list(APPEND problems "libkesdatagraph.so does not search \$ORIGIN:\n${dynamic}")
    endif()
endif()

# Nothing in the package may point back into the build or source tree.
if(configs)
    get_filename_component(package_dir ${configs} DIRECTORY)
    file(GLOB package_files ${package_dir}/*.cmake)
    get_filename_component(source_dir ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
    foreach(file IN LISTS package_files)
        file(READ ${file} content)
        foreach(tree ${BUILD_DIR} ${source_dir} ${STAGE})
            string(FIND "${content}" "${tree}" at)
            if(NOT at EQUAL -1)
                list(APPEND problems "${file} names the absolute path ${tree}")
            endif()
        endforeach()
    endforeach()
endif()

if(problems)
    list(JOIN problems "\n  " problems)
    message(FATAL_ERROR "The staged install is not what a host needs:\n  ${problems}")
endif()

file(RENAME ${STAGE}/installed ${STAGE}/moved)
message(STATUS "Installed and moved to ${STAGE}/moved")
