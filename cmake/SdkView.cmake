# cmake -DSDK=<the host's SDK folder> -DVIEW=<folder to make> -P cmake/SdkView.cmake
#
# The host's headers were written for MSVC on a case-insensitive file system:
# they include each other in other letter cases and with backslashes. VIEW
# becomes an SDK folder that a case-sensitive compiler reads as MSVC does:
# include/ mirrors the host's headers through links, plus a link for every
# spelling an #include line uses that names a header in another case; lib/
# is the host's. The host's folder itself is left as it is.
cmake_minimum_required(VERSION 3.20)
include("${CMAKE_CURRENT_LIST_DIR}/SdkHeaders.cmake")

set(real "${SDK}/include")
set(view "${VIEW}/include")
file(REMOVE_RECURSE "${VIEW}")
file(MAKE_DIRECTORY "${view}")
file(CREATE_LINK "${SDK}/lib" "${VIEW}/lib" SYMBOLIC)
sdk_index("${real}")

get_property(entries GLOBAL PROPERTY "SDK_FILES:${real}")
set(headers)
foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${real}/${entry}")
        file(MAKE_DIRECTORY "${view}/${entry}")
    else()
        file(CREATE_LINK "${real}/${entry}" "${view}/${entry}" SYMBOLIC)
        list(APPEND headers "${entry}")
    endif()
endforeach()

# Links PATH (relative to the view, in the spelling an #include uses) to the
# header TARGET names, making the folders on the way in that spelling too.
function(link_spelling path target)
    get_filename_component(folder "${path}" DIRECTORY)
    if(folder)
        string(REPLACE "/" ";" elements "${folder}")
        set(spelled "")
        foreach(element IN LISTS elements)
            string(APPEND spelled "${element}")
            if(NOT EXISTS "${view}/${spelled}")
                string(TOLOWER "${spelled}" key)
                get_property(actual GLOBAL PROPERTY "SDK_INDEX:${real}:${key}")
                file(CREATE_LINK "${view}/${actual}" "${view}/${spelled}" SYMBOLIC)
                math(EXPR aliases "${aliases} + 1")
            endif()
            string(APPEND spelled "/")
        endforeach()
    endif()
    if(NOT EXISTS "${view}/${path}")
        file(CREATE_LINK "${view}/${target}" "${view}/${path}" SYMBOLIC)
        math(EXPR aliases "${aliases} + 1")
    endif()
    set(aliases ${aliases} PARENT_SCOPE)
endfunction()

set(aliases 0)
foreach(header IN LISTS headers)
    get_filename_component(dir "${header}" DIRECTORY)
    sdk_includes("${real}/${header}" includes)
    foreach(include IN LISTS includes)
        sdk_resolve("${real}" "${header}" "${include}" found)
        if(NOT found)
            continue()
        endif()
        string(REGEX REPLACE "^.(.*).$" "\\1" name "${include}")
        if(name MATCHES "\\\\")
            # A backslash is part of a file name here: link that name beside
            # the header that uses it.
            link_spelling("${dir}/${name}" "${found}")
            continue()
        endif()
        # GCC looks beside the header, then in the view's root: the spelling
        # goes where the root would not find it as written.
        cmake_path(SET spelling NORMALIZE "${name}")
        if(include MATCHES "^\"")
            string(TOLOWER "${spelling}" key)
            string(TOLOWER "${found}" found_key)
            if(NOT key STREQUAL found_key AND dir)
                cmake_path(SET spelling NORMALIZE "${dir}/${name}")
            endif()
        endif()
        link_spelling("${spelling}" "${found}")
    endforeach()
endforeach()

list(LENGTH headers count)
message("SDK view in ${VIEW}: ${count} headers, ${aliases} links for other spellings")
