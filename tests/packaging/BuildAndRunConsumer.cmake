# Usage: cmake -DPREFIX=<installed prefix> -DSOURCE_DIR=<consumer> -DBINARY_DIR=<dir>
#              -DGENERATOR=<generator> -DCXX_COMPILER=<compiler> -DCONFIG=<config>
#              [-DCXX_FLAGS=<flags>] [-DLINKER_FLAGS=<flags>] -P BuildAndRunConsumer.cmake
#
# Configures and builds the consumer against the package in <prefix> alone, as a host would, and
# runs it without LD_LIBRARY_PATH. The compiler flags of the main build are passed on so that a
# sanitizer build stays consistent.

function(run_step description)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${description} failed (${result}):\n${output}")
    endif()
    set(output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${BINARY_DIR})
run_step("Configuring the consumer"
    ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_BUILD_TYPE=${CONFIG}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}"
    -DCMAKE_PREFIX_PATH=${PREFIX}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)

file(STRINGS ${BINARY_DIR}/CMakeCache.txt found_dir REGEX "^kesdatagraph_DIR:")
string(REGEX REPLACE "^[^=]*=" "" found_dir "${found_dir}")
string(FIND "${found_dir}" "${PREFIX}/" at)
if(NOT at EQUAL 0)
    message(FATAL_ERROR "The consumer found kesdatagraph in ${found_dir}, not under ${PREFIX}")
endif()

set(config_option)
if(CONFIG)
    set(config_option --config ${CONFIG})
endif()
run_step("Building the consumer" ${CMAKE_COMMAND} --build ${BINARY_DIR} ${config_option})

set(program ${BINARY_DIR}/kesdatagraph_consumer)
if(NOT EXISTS ${program})
    set(program ${BINARY_DIR}/${CONFIG}/kesdatagraph_consumer)
endif()
unset(ENV{LD_LIBRARY_PATH})
run_step("Running the consumer" ${program})
message(STATUS "${output}")
if(NOT output MATCHES "the graph computed 42")
    message(FATAL_ERROR "The consumer did not report its result:\n${output}")
endif()
