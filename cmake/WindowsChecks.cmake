# gyrolog-run and the tests of everything that does not need the simulated
# host, cross-built to run under Wine. The header-only libraries and
# simdjson.h come from GYROLOG_DEPS_INCLUDE_DIR, simdjson's single-file
# source from GYROLOG_SIMDJSON_SOURCE, GoogleTest from its sources.
set(GYROLOG_DEPS_INCLUDE_DIR "" CACHE PATH "Folder holding nlohmann/, CLI/ and simdjson.h")
set(GYROLOG_SIMDJSON_SOURCE "" CACHE FILEPATH "simdjson's single-file simdjson.cpp")
set(GYROLOG_GTEST_SOURCE_DIR "" CACHE PATH "GoogleTest's source folder (googletest/)")

# GCC 12 sees a false overlap in std::string's operator+ once inlined (GCC
# bug 105329); the checks' own code is compiled with warnings on regardless.
if(NOT MSVC)
    list(APPEND GYROLOG_WARNINGS -Wno-restrict)
endif()

enable_language(C)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${GYROLOG_GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

if(NOT EXISTS "${GYROLOG_SIMDJSON_SOURCE}")
    message(FATAL_ERROR "GYROLOG_SIMDJSON_SOURCE must name simdjson's single-file simdjson.cpp")
endif()
# simdjson's own code, compiled as it comes: its warnings are not ours.
add_library(gyrolog_simdjson STATIC ${GYROLOG_SIMDJSON_SOURCE})
target_include_directories(gyrolog_simdjson PUBLIC ${GYROLOG_DEPS_INCLUDE_DIR})
target_compile_options(gyrolog_simdjson PRIVATE -w)

add_library(gyrolog_runtext STATIC
    tools/gyrolog-run/RunText.cpp
    tools/gyrolog-run/TextRules.cpp
    tools/gyrolog-run/CsvImport.cpp
    tools/gyrolog-run/JsonImport.cpp)
target_include_directories(gyrolog_runtext PUBLIC tools/gyrolog-run ${GYROLOG_DEPS_INCLUDE_DIR})
target_link_libraries(gyrolog_runtext PUBLIC gyrolog_runs PRIVATE gyrolog_simdjson)
target_compile_options(gyrolog_runtext PRIVATE ${GYROLOG_PLUGIN_WARNINGS})

add_executable(gyrolog-run tools/gyrolog-run/main.cpp)
target_link_libraries(gyrolog-run PRIVATE gyrolog_runtext)
target_compile_options(gyrolog-run PRIVATE ${GYROLOG_PLUGIN_WARNINGS})

add_executable(gyrolog_windows_tests
    tests/TasTest.cpp
    tests/TasFormatTest.cpp
    tests/RunFolderTest.cpp
    tests/RunTextTest.cpp
    Gyrolog/ui/InputsView.cpp)
target_include_directories(gyrolog_windows_tests PRIVATE tests)
target_link_libraries(gyrolog_windows_tests PRIVATE gyrolog_runtext gtest gtest_main)
target_compile_options(gyrolog_windows_tests PRIVATE ${GYROLOG_WARNINGS})
# Found beside the tests, in the folder they run from.
target_compile_definitions(gyrolog_windows_tests PRIVATE GYROLOG_RUN_PATH="gyrolog-run.exe")
add_dependencies(gyrolog_windows_tests gyrolog-run)
