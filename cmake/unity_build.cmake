# Unity builds (CMAKE_UNITY_BUILD=ON) compile a target's sources a batch at a time, so that
# GoogleTest, Qt and the standard headers are read once a batch instead of once a file: the
# Windows check and the test command's builds use them. These files define helpers under
# names that another file of the same target uses too, or call a function whose name
# <windows.h>, included by a file before them, makes a macro (WriteProfileString); each stays a
# source of its own.
if(CMAKE_UNITY_BUILD)
    foreach(file platform/codepage_win32.cpp
                 platform/profile_ini_test.cpp
                 platform/termination_signals_win32.cpp
                 tavrin/browser/browser_model_test.cpp
                 tavrin/find/session_search.cpp
                 tavrin/import/archiver_progress_test.cpp
                 tavrin/shell/statement_runner.cpp
                 tavrin/ui/stop_dialog_test.cpp
                 tavrin/workspace/sql_loader.cpp
                 tavrin/workspace/sql_dump_conversion_test.cpp)
        get_filename_component(dir ${CMAKE_SOURCE_DIR}/${file} DIRECTORY)
        set_source_files_properties(${CMAKE_SOURCE_DIR}/${file} DIRECTORY ${dir}
                                    PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endforeach()
endif()
