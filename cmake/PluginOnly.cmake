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

add_library(gyrolog_runs STATIC ${GYROLOG_RUNS_SOURCES})
target_include_directories(gyrolog_runs PUBLIC Gyrolog ${BAKKESMOD_SDK_DIR}/include)
target_compile_options(gyrolog_runs PRIVATE ${GYROLOG_PLUGIN_WARNINGS})

add_library(gyrolog_plugin OBJECT ${GYROLOG_PLUGIN_SOURCES})
target_include_directories(gyrolog_plugin PRIVATE ${BAKKESMOD_IMGUI_DIR})
target_link_libraries(gyrolog_plugin PRIVATE gyrolog_runs gyrolog_fmt)
target_compile_options(gyrolog_plugin PRIVATE ${GYROLOG_PLUGIN_WARNINGS})

# Dear ImGui's own sources: the plugin draws with the host's version of it.
file(GLOB GYROLOG_IMGUI_SOURCES "${BAKKESMOD_IMGUI_DIR}/imgui*.cpp")
set(GYROLOG_PLUGINSDK_LIB "${BAKKESMOD_SDK_DIR}/lib/pluginsdk.lib")
if(GYROLOG_IMGUI_SOURCES AND EXISTS "${GYROLOG_PLUGINSDK_LIB}")
    add_library(Gyrolog SHARED $<TARGET_OBJECTS:gyrolog_plugin> ${GYROLOG_IMGUI_SOURCES})
    target_include_directories(Gyrolog PRIVATE ${BAKKESMOD_IMGUI_DIR})
    target_link_libraries(Gyrolog PRIVATE gyrolog_runs gyrolog_fmt ${GYROLOG_PLUGINSDK_LIB})
    set_target_properties(Gyrolog PROPERTIES PREFIX "")
else()
    message(STATUS "Gyrolog: no Dear ImGui sources or no lib/pluginsdk.lib: "
                   "compiling the plugin's objects without linking Gyrolog.dll")
endif()

if(GYROLOG_WINDOWS_CHECKS)
    include(cmake/WindowsChecks.cmake)
endif()
