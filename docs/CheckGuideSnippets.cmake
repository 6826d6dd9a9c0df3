# Usage: cmake -DGUIDE=<guide.md> -DEXAMPLES=<examples dir> -P CheckGuideSnippets.cmake
#
# Fails when a ```cpp block of the guide does not appear, line for line, in the compiled
# examples. Indentation is ignored, since the guide quotes code from inside functions.

cmake_minimum_required(VERSION 3.20)

function(strip_indentation text result)
    string(REGEX REPLACE "(^|\n)[ \t]+" "\\1" text "${text}")
    set(${result} "${text}" PARENT_SCOPE)
endfunction()

file(GLOB sources ${EXAMPLES}/*.cpp ${EXAMPLES}/*.h)
set(compiled "")
foreach(source IN LISTS sources)
    file(READ ${source} content)
    string(APPEND compiled "${content}\n")
endforeach()
strip_indentation("${compiled}" compiled)

file(READ ${GUIDE} guide)
set(fence "```")
set(blocks 0)
set(missing "")
while(TRUE)
    string(FIND "${guide}" "${fence}cpp\n" start)
    if(start EQUAL -1)
        break()
    endif()
    math(EXPR start "${start} + 7")
    string(SUBSTRING "${guide}" ${start} -1 guide)
    string(FIND "${guide}" "${fence}" end)
    string(SUBSTRING "${guide}" 0 ${end} block)
    string(SUBSTRING "${guide}" ${end} -1 guide)
    math(EXPR blocks "${blocks} + 1")
    strip_indentation("${block}" stripped)
    string(FIND "${compiled}" "${stripped}" at)
    if(at EQUAL -1)
        string(APPEND missing "\n--- block ${blocks}:\n${block}")
    endif()
endwhile()

if(blocks EQUAL 0)
    message(FATAL_ERROR "${GUIDE} shows no C++ code blocks")
endif()
if(missing)
    message(FATAL_ERROR "Guide code not found in ${EXAMPLES}:${missing}")
endif()
message(STATUS "All ${blocks} code blocks of the guide are compiled")
