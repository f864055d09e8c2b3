# Reading a header tree's #include lines as MSVC on a case-insensitive file
# system reads them: any letter case, backslashes as separators. Included by
# the scripts that compare our sdk/ with the host's headers and that make the
# case-folded view of the host's SDK.

# Every file and folder under ROOT, indexed by its lower-case path.
function(sdk_index root)
    file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${root}" "${root}/*")
    foreach(entry IN LISTS entries)
        string(TOLOWER "${entry}" key)
        set_property(GLOBAL PROPERTY "SDK_INDEX:${root}:${key}" "${entry}")
    endforeach()
    set_property(GLOBAL PROPERTY "SDK_FILES:${root}" "${entries}")
endfunction()

# The #include lines of FILE as "<name>" or "\"name\"", in their order.
function(sdk_includes file out)
    file(STRINGS "${file}" lines REGEX "^[^#/\"<]*#[ \t]*include[ \t]*[<\"][^>\"]+[>\"]")
    set(includes)
    foreach(line IN LISTS lines)
        string(REGEX MATCH "[<\"][^>\"]+[>\"]" include "${line}")
        list(APPEND includes "${include}")
    endforeach()
    set(${out} "${includes}" PARENT_SCOPE)
endfunction()

# The path under ROOT of the file that PATH (relative to ROOT, any case, "."
# and ".." allowed) names, or "" when there is none.
function(sdk_lookup root path out)
    string(REPLACE "\\" "/" path "${path}")
    cmake_path(SET path NORMALIZE "${path}")
    string(TOLOWER "${path}" key)
    get_property(found GLOBAL PROPERTY "SDK_INDEX:${root}:${key}")
    if(found AND NOT IS_DIRECTORY "${root}/${found}")
        set(${out} "${found}" PARENT_SCOPE)
    else()
        set(${out} "" PARENT_SCOPE)
    endif()
endfunction()

# Resolves INCLUDE (as sdk_includes gives it) written in the file FROM (a path
# under ROOT). MSVC looks for a quoted name beside FROM, then beside the files
# that include it; the folders above FROM stand in for those. Then it looks
# for any name under ROOT. OUT is the path under ROOT, or "" for a header from
# outside the tree.
function(sdk_resolve root from include out)
    string(SUBSTRING "${include}" 0 1 quote)
    string(REGEX REPLACE "^.(.*).$" "\\1" name "${include}")
    set(found "")
    if(quote STREQUAL "\"")
        get_filename_component(dir "${from}" DIRECTORY)
        while(dir AND NOT found)
            sdk_lookup("${root}" "${dir}/${name}" found)
            get_filename_component(dir "${dir}" DIRECTORY)
        endwhile()
    endif()
    if(NOT found)
        sdk_lookup("${root}" "${name}" found)
    endif()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

# The headers from outside ROOT (as "<name>") that FILE (a path under ROOT)
# brings in, itself or through the headers of ROOT it includes.
function(sdk_outside_includes root file out)
    set(pending "${file}")
    set(seen)
    set(outside)
    while(pending)
        list(POP_FRONT pending current)
        if(current IN_LIST seen)
            continue()
        endif()
        list(APPEND seen "${current}")
        sdk_includes("${root}/${current}" includes)
        foreach(include IN LISTS includes)
            sdk_resolve("${root}" "${current}" "${include}" found)
            if(found)
                list(APPEND pending "${found}")
            elseif(include MATCHES "^<")
                list(APPEND outside "${include}")
            endif()
        endforeach()
    endwhile()
    list(REMOVE_DUPLICATES outside)
    set(${out} "${outside}" PARENT_SCOPE)
endfunction()
