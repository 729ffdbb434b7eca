# Package import: the archiver run and the no-window import component the dialog drives,
# the tavrin-import command, the dialog's background loads, and the program folder's archiver
# link and registry folder.
set(IMPORT_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(tavrin_import STATIC
    ${IMPORT_DIR}/archive_extractor.cpp
    ${IMPORT_DIR}/archiver_progress.cpp
    ${IMPORT_DIR}/import_progress.cpp
    ${IMPORT_DIR}/package_import.cpp)
target_include_directories(tavrin_import PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavrin_import PUBLIC tavrin_workspace shell common platform
                      SQLite::SQLite3 Threads::Threads)
list(APPEND TAVRIN_LIBS tavrin_import)
list(APPEND TAVRIN_UI_SOURCES ${IMPORT_DIR}/background_load.h ${IMPORT_DIR}/background_load.cpp
     ${IMPORT_DIR}/import_progress_dialog.h ${IMPORT_DIR}/import_progress_dialog.cpp)

# The program folder holds "7z", a link to the system's 7-Zip, and the empty registry folder.
find_program(TAVRIN_ARCHIVER NAMES 7zz 7z PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT TAVRIN_ARCHIVER)
    find_program(TAVRIN_ARCHIVER NAMES 7zz 7z REQUIRED)
endif()
add_custom_command(OUTPUT ${TAVRIN_PROGRAM_DIR}/7z
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVRIN_PROGRAM_DIR}/processid
    COMMAND ${CMAKE_COMMAND} -E create_symlink ${TAVRIN_ARCHIVER} ${TAVRIN_PROGRAM_DIR}/7z
    COMMENT "Linking the archiver and creating processid/ in the program folder")
add_custom_target(tavrin_program_folder ALL DEPENDS ${TAVRIN_PROGRAM_DIR}/7z)
add_dependencies(tavrin_import tavrin_program_folder)

# tavrin-import PACKAGE.tar: the same import from a terminal, kept in the program folder.
add_executable(tavrin-import ${IMPORT_DIR}/tavrin_import_main.cpp)
target_link_libraries(tavrin-import PRIVATE tavrin_import tavrin_browser tavrin_find)
add_dependencies(tavrin-import tavrin_table_sql)

tavrin_add_gtest(import_tests
    SOURCES ${IMPORT_DIR}/archive_extractor_test.cpp
            ${IMPORT_DIR}/archiver_progress_test.cpp
            ${IMPORT_DIR}/package_import_test.cpp
            ${IMPORT_DIR}/tavrin_import_main_test.cpp
    LIBS tavrin_import SQLite::SQLite3)
add_dependencies(import_tests tavrin-import)

# The import through the real dialog, offscreen.
tavrin_add_gtest(import_ui_tests
    SOURCES ${IMPORT_DIR}/import_dialog_test.cpp ${IMPORT_DIR}/stop_dialog_test.cpp
            ${IMPORT_DIR}/tavrin_dlg_stale_test.cpp
    LIBS tavrin_ui tavrin_qt_test_main SQLite::SQLite3)
add_dependencies(import_ui_tests lang_modules tavrin-import)

# The tests find the program folder and the sources through these, not the environment.
foreach(test import_tests import_ui_tests)
    target_compile_definitions(${test} PRIVATE
        TAVRIN_TEST_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}" TAVRIN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endforeach()
