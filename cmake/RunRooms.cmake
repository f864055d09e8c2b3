# The rooms of Gyrolog/runs/, free of host and UI, one static library each,
# each linking only the rooms it stands on:
#   record   the run record and its formats (run file, trace)
#   files    run files and the run folder
#   edits    splices, frame edits and the history of changes
#   recovery the journal of unsaved work and its writer thread
# gyrolog_runs gathers them for the plugin and the tools. sdk_target brings
# the host's plain value types; the remaining arguments are compile options.
# The caller defines gyrolog_json, nlohmann/json for the markers file.
cmake_path(SET runs NORMALIZE "${CMAKE_CURRENT_LIST_DIR}/../Gyrolog/runs")
set(GYROLOG_RECORD_SOURCES ${runs}/record/Tas.cpp ${runs}/record/Hitbox.cpp
                           ${runs}/record/TasFormat.cpp ${runs}/record/RunTrace.cpp
                           ${runs}/record/Keyframe.cpp ${runs}/record/Marker.cpp
                           ${runs}/record/RunCompare.cpp)
set(GYROLOG_FILES_SOURCES ${runs}/files/RunFile.cpp ${runs}/files/DurableFiles.cpp
                          ${runs}/files/TasFile.cpp ${runs}/files/RunFolder.cpp
                          ${runs}/files/TraceSaver.cpp ${runs}/files/MarkersFile.cpp
                          ${runs}/files/FileWorker.cpp ${runs}/files/BranchFolder.cpp)
set(GYROLOG_EDITS_SOURCES ${runs}/edits/RunSplice.cpp ${runs}/edits/RunHistory.cpp
                          ${runs}/edits/FrameEdits.cpp)
set(GYROLOG_RECOVERY_SOURCES ${runs}/recovery/RecoveryJournal.cpp
                             ${runs}/recovery/RecoveryWriter.cpp)
set(GYROLOG_RUNS_SOURCES ${GYROLOG_RECORD_SOURCES} ${GYROLOG_FILES_SOURCES}
                         ${GYROLOG_EDITS_SOURCES} ${GYROLOG_RECOVERY_SOURCES})
unset(runs)

function(gyrolog_add_run_rooms sdk_target)
    add_library(gyrolog_record STATIC ${GYROLOG_RECORD_SOURCES})
    add_library(gyrolog_files STATIC ${GYROLOG_FILES_SOURCES})
    add_library(gyrolog_edits STATIC ${GYROLOG_EDITS_SOURCES})
    add_library(gyrolog_recovery STATIC ${GYROLOG_RECOVERY_SOURCES})
    foreach(room record files edits recovery)
        target_include_directories(gyrolog_${room} PUBLIC ${PROJECT_SOURCE_DIR}/Gyrolog)
        target_compile_options(gyrolog_${room} PRIVATE ${ARGN})
    endforeach()
    target_link_libraries(gyrolog_record PUBLIC ${sdk_target})
    target_link_libraries(gyrolog_files PUBLIC gyrolog_record PRIVATE gyrolog_json)
    target_link_libraries(gyrolog_edits PUBLIC gyrolog_record)
    target_link_libraries(gyrolog_recovery PUBLIC gyrolog_files gyrolog_edits)
    if(TARGET Threads::Threads)
        target_link_libraries(gyrolog_files PUBLIC Threads::Threads)
    endif()
    add_library(gyrolog_runs INTERFACE)
    target_link_libraries(gyrolog_runs INTERFACE gyrolog_recovery gyrolog_files gyrolog_edits
                                                 gyrolog_record)
endfunction()
