# Gyrolog.dll as a player builds it for the game: the plugin's sources against
# the host's SDK folder (include/ and lib/pluginsdk.lib), with the host's own
# Dear ImGui sources compiled into the library. Nothing else is needed.
set(BAKKESMOD_SDK_DIR "" CACHE PATH "The host's SDK folder, holding include/ and lib/pluginsdk.lib")
set(BAKKESMOD_IMGUI_DIR "" CACHE PATH "The host's Dear ImGui folder, holding imgui.h and imgui.cpp")
set(GYROLOG_FMT_INCLUDE_DIR "" CACHE PATH "{fmt}'s include folder, used header-only; fetched if empty")
option(GYROLOG_WARNINGS_AS_ERRORS "Fail on any warning in the plugin's sources" OFF)
option(GYROLOG_WINDOWS_CHECKS "Also build gyrolog-run and the tests of the host-free code" OFF)

if(NOT EXISTS "${BAKKESMOD_SDK_DIR}/include/bakkesmod/plugin/bakkesmodplugin.h")
    message(FATAL_ERROR "BAKKESMOD_SDK_DIR must name the SDK folder that holds "
                        "include/bakkesmod/plugin/bakkesmodplugin.h")
endif()
if(NOT EXISTS "${BAKKESMOD_IMGUI_DIR}/imgui.h")
    message(FATAL_ERROR "BAKKESMOD_IMGUI_DIR must name the host's Dear ImGui folder (imgui.h)")
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

add_library(gyrolog_runs STATIC ${GYROLOG_RUNS_SOURCES})
target_include_directories(gyrolog_runs PUBLIC Gyrolog)
target_link_libraries(gyrolog_runs PUBLIC gyrolog_host_sdk)
target_compile_options(gyrolog_runs PRIVATE ${GYROLOG_PLUGIN_WARNINGS})

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
else()
    message(STATUS "Gyrolog: no Dear ImGui sources, no lib/pluginsdk.lib or no MSVC to link it: "
                   "compiling the plugin's objects without linking Gyrolog.dll")
endif()

if(GYROLOG_WINDOWS_CHECKS)
    include(cmake/WindowsChecks.cmake)
endif()
