# Gyrolog.dll as a player builds it for the game: the plugin's sources against
# the host's SDK folder (include/ and lib/pluginsdk.lib), with the host's own
# Dear ImGui sources compiled into the library. Nothing else is needed.
set(BAKKESMOD_SDK_DIR "" CACHE PATH "The host's SDK folder, holding include/ and lib/pluginsdk.lib")
set(BAKKESMOD_IMGUI_DIR "" CACHE PATH "The host's Dear ImGui folder, holding imgui.h and imgui.cpp")
set(GYROLOG_FMT_INCLUDE_DIR "" CACHE PATH "{fmt}'s include folder, used header-only; fetched if empty")
set(GYROLOG_JSON_INCLUDE_DIR "" CACHE PATH "Folder holding nlohmann/json.hpp; fetched if empty")
option(GYROLOG_WARNINGS_AS_ERRORS "Fail on any warning in the plugin's sources" OFF)
option(GYROLOG_WINDOWS_CHECKS "Also build gyrolog-run and the tests of the host-free code" OFF)

if(NOT EXISTS "${BAKKESMOD_SDK_DIR}/include/bakkesmod/plugin/bakkesmodplugin.h")
    message(FATAL_ERROR "BAKKESMOD_SDK_DIR must name the SDK folder that holds "
                        "include/bakkesmod/plugin/bakkesmodplugin.h")
endif()
if(NOT EXISTS "${BAKKESMOD_IMGUI_DIR}/imgui.h")
    message(FATAL_ERROR "BAKKESMOD_IMGUI_DIR must name the host's Dear ImGui folder (imgui.h)")
endif()

if(MSVC)
    # The host is a Release build: its objects cross the boundary (std::string,
    # std::shared_ptr, std::function) with the Release runtime's layout, which
    # /MDd and the debug library change.
    # Kept free of commas, semicolons and angle brackets: the Debug check of
    # multi-config generators below carries it in a generator expression.
    string(CONCAT GYROLOG_DEBUG_REFUSAL "Gyrolog.dll cannot be a Debug build: the host is a "
        "Release build and /MDd with the debug runtime changes the layout of what crosses "
        "between them. Build Release or RelWithDebInfo")
    if(CMAKE_BUILD_TYPE STREQUAL "Debug")
        message(FATAL_ERROR "${GYROLOG_DEBUG_REFUSAL}")
    endif()
    set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)

    set(GYROLOG_MISSING "")
    foreach(source imgui.cpp imgui_draw.cpp imgui_widgets.cpp)
        if(NOT EXISTS "${BAKKESMOD_IMGUI_DIR}/${source}")
            list(APPEND GYROLOG_MISSING "${BAKKESMOD_IMGUI_DIR}/${source} (Dear ImGui's source: \
unpack the SDK's imgui_bm.zip into BAKKESMOD_IMGUI_DIR)")
        endif()
    endforeach()
    if(NOT EXISTS "${BAKKESMOD_SDK_DIR}/lib/pluginsdk.lib")
        list(APPEND GYROLOG_MISSING "${BAKKESMOD_SDK_DIR}/lib/pluginsdk.lib (the host's import \
library, in the SDK folder's lib/)")
    endif()
    if(GYROLOG_MISSING)
        list(JOIN GYROLOG_MISSING "\n  " GYROLOG_MISSING)
        message(FATAL_ERROR "Gyrolog.dll cannot be built; missing:\n  ${GYROLOG_MISSING}")
    endif()
endif()

if(GYROLOG_FMT_INCLUDE_DIR)
    add_library(gyrolog_fmt INTERFACE)
    target_include_directories(gyrolog_fmt INTERFACE ${GYROLOG_FMT_INCLUDE_DIR})
    target_compile_definitions(gyrolog_fmt INTERFACE FMT_HEADER_ONLY)
else()
    include(FetchContent)
    FetchContent_Declare(fmt GIT_REPOSITORY https://github.com/fmtlib/fmt.git GIT_TAG 10.2.1)
    FetchContent_MakeAvailable(fmt)
    add_library(gyrolog_fmt ALIAS fmt-header-only)
endif()

# nlohmann/json, header-only, for the markers file.
if(GYROLOG_JSON_INCLUDE_DIR)
    add_library(gyrolog_json INTERFACE)
    target_include_directories(gyrolog_json INTERFACE ${GYROLOG_JSON_INCLUDE_DIR})
else()
    include(FetchContent)
    FetchContent_Declare(json URL https://github.com/nlohmann/json/releases/download/v3.11.3/json.tar.xz)
    FetchContent_MakeAvailable(json)
    add_library(gyrolog_json ALIAS nlohmann_json)
endif()

if(MSVC)
    set(GYROLOG_WARNINGS /W4 /utf-8 /permissive-)
    set(GYROLOG_WERROR /WX)
else()
    set(GYROLOG_WARNINGS -Wall -Wextra)
    set(GYROLOG_WERROR -Werror)
endif()
set(GYROLOG_PLUGIN_WARNINGS ${GYROLOG_WARNINGS})
if(GYROLOG_WARNINGS_AS_ERRORS)
    list(APPEND GYROLOG_PLUGIN_WARNINGS ${GYROLOG_WERROR})
endif()

# The host's headers are the host's: their warnings are not ours.
add_library(gyrolog_host_sdk INTERFACE)
target_include_directories(gyrolog_host_sdk SYSTEM INTERFACE ${BAKKESMOD_SDK_DIR}/include)
if(NOT MSVC)
    # The headers are MSVC's: they repeat the explicit instantiation of
    # ArrayWrapper<wchar_t> (GCC's -fpermissive makes that a warning, which a
    # system header does not show, while the plugin's own code keeps it an
    # error under -Werror) and use __pragma(...) and _NODISCARD. They test
    # library feature macros such as __cpp_lib_filesystem before including
    # the header that defines them, which every header of MSVC's library
    # does: <version> brings them all first.
    target_compile_options(gyrolog_host_sdk INTERFACE -fpermissive "-D__pragma(x)=" -include version)
    target_compile_definitions(gyrolog_host_sdk INTERFACE "_NODISCARD=[[nodiscard]]")
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # A header found through a link keeps the link's folder, where the links
    # for the other spellings of a case-folded view of the SDK are.
    target_compile_options(gyrolog_host_sdk INTERFACE -fno-canonical-system-headers)
endif()

if(MSVC)
    # Visual Studio 17.10's library made std::mutex's constructor constexpr,
    # relying on a runtime as new: in a game holding an older runtime, the
    # DLL would crash at its first lock.
    target_compile_definitions(gyrolog_host_sdk INTERFACE _DISABLE_CONSTEXPR_MUTEX_CONSTRUCTOR)
endif()
gyrolog_add_run_rooms(gyrolog_host_sdk ${GYROLOG_PLUGIN_WARNINGS})

add_library(gyrolog_plugin OBJECT ${GYROLOG_PLUGIN_SOURCES})
target_include_directories(gyrolog_plugin SYSTEM PRIVATE ${BAKKESMOD_IMGUI_DIR})
target_link_libraries(gyrolog_plugin PRIVATE gyrolog_runs gyrolog_fmt)
target_compile_options(gyrolog_plugin PRIVATE ${GYROLOG_PLUGIN_WARNINGS})

# Dear ImGui's core, as the host ships it: the plugin draws with the host's
# version. None of the host's backends or additions, and no demo window.
set(GYROLOG_IMGUI_SOURCES imgui.cpp imgui_draw.cpp imgui_widgets.cpp)
list(TRANSFORM GYROLOG_IMGUI_SOURCES PREPEND "${BAKKESMOD_IMGUI_DIR}/")
set(GYROLOG_PLUGINSDK_LIB "${BAKKESMOD_SDK_DIR}/lib/pluginsdk.lib")
if(EXISTS "${BAKKESMOD_IMGUI_DIR}/imgui.cpp")
    add_library(gyrolog_imgui OBJECT ${GYROLOG_IMGUI_SOURCES})
    target_include_directories(gyrolog_imgui PRIVATE ${BAKKESMOD_IMGUI_DIR})
    if(NOT MSVC)
        # The host's code, compiled as it comes: its warnings are not ours.
        target_compile_options(gyrolog_imgui PRIVATE -w)
    endif()
endif()
if(TARGET gyrolog_imgui AND EXISTS "${GYROLOG_PLUGINSDK_LIB}" AND MSVC)
    add_library(Gyrolog SHARED $<TARGET_OBJECTS:gyrolog_plugin> $<TARGET_OBJECTS:gyrolog_imgui>)
    target_link_libraries(Gyrolog PRIVATE gyrolog_runs gyrolog_fmt ${GYROLOG_PLUGINSDK_LIB})
    set_target_properties(Gyrolog PROPERTIES PREFIX "")
    # Multi-config generators choose the configuration at build time: there,
    # a Debug build stops before compiling anything.
    add_custom_target(gyrolog_refuse_debug
        COMMAND "$<$<CONFIG:Debug>:${CMAKE_COMMAND};-E;echo;${GYROLOG_DEBUG_REFUSAL}>"
        COMMAND "$<$<CONFIG:Debug>:${CMAKE_COMMAND};-E;false>"
        COMMAND_EXPAND_LISTS VERBATIM)
    add_dependencies(gyrolog_record gyrolog_refuse_debug)
else()
    # Only a compiler other than MSVC gets here (MinGW's check of the sources).
    message(STATUS "Gyrolog: no MSVC to link lib/pluginsdk.lib: compiling the plugin's "
                   "objects without linking Gyrolog.dll")
endif()

if(GYROLOG_WINDOWS_CHECKS)
    include(cmake/WindowsChecks.cmake)
endif()
