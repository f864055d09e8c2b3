# cmake -DOURS=sdk -DSDK=<the host's SDK folder> -P cmake/CheckSdkIncludes.cmake
#
# Fails when a header of ours brings in a standard header that the host's
# header of the same path does not: the plugin would then build here and fail
# against the real headers, where that header is missing (an include-order
# fault). Both sides count what comes through their own tree's includes.
cmake_minimum_required(VERSION 3.20)
include("${CMAKE_CURRENT_LIST_DIR}/SdkHeaders.cmake")

if(NOT IS_DIRECTORY "${SDK}/include/bakkesmod")
    message("no real SDK found (BAKKESMOD_SDK_DIR or ../shared/bakkesmodsdk): nothing compared")
    return()
endif()
set(real "${SDK}/include")
sdk_index("${OURS}")
sdk_index("${real}")

get_property(headers GLOBAL PROPERTY "SDK_FILES:${OURS}")
list(FILTER headers INCLUDE REGEX "\\.h$")
set(faults)
foreach(header IN LISTS headers)
    sdk_lookup("${real}" "${header}" real_header)
    if(NOT real_header)
        list(APPEND faults "${header}: the host's SDK has no header of this path")
        continue()
    endif()
    sdk_outside_includes("${OURS}" "${header}" ours_bring)
    sdk_outside_includes("${real}" "${real_header}" real_brings)
    foreach(include IN LISTS ours_bring)
        if(NOT include IN_LIST real_brings)
            list(APPEND faults "${header} brings ${include}, the host's ${real_header} does not")
        endif()
    endforeach()
endforeach()

list(LENGTH headers count)
if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "Our sdk/ headers bring standard headers the host's do not:\n  ${text}")
endif()
message("${count} headers of sdk/ bring no standard header the host's headers do not")
