# Auditing aids: export of a whole view to CSV, package fingerprints, the remembered package
# folder (plain code, no widgets), and their parts of the main dialog: the export button,
# dropped packages, keys and the extra prompts.
set(AUDITOR_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(tavrin_auditor STATIC
    ${AUDITOR_DIR}/csv_export.cpp
    ${AUDITOR_DIR}/package_fingerprint.cpp
    ${AUDITOR_DIR}/last_folder.cpp)
target_include_directories(tavrin_auditor PUBLIC ${CMAKE_SOURCE_DIR})
# tavrin_browser (the row builders and query texts) is made by a later fragment; the name is
# resolved at generation.
target_link_libraries(tavrin_auditor PUBLIC tavrin_browser platform SQLite::SQLite3 Qt6::Core
                      Threads::Threads)
list(APPEND TAVRIN_LIBS tavrin_auditor)

list(APPEND TAVRIN_UI_SOURCES
    ${AUDITOR_DIR}/auditor_extras.h ${AUDITOR_DIR}/auditor_extras.cpp
    ${AUDITOR_DIR}/auditor_export_ui.cpp
    ${AUDITOR_DIR}/auditor_prompts.cpp
    ${AUDITOR_DIR}/dialog_keys.cpp
    ${AUDITOR_DIR}/package_drop.cpp)

tavrin_add_gtest(auditor_tests
    SOURCES ${AUDITOR_DIR}/csv_export_test.cpp
            ${AUDITOR_DIR}/package_fingerprint_test.cpp
    LIBS tavrin_auditor shell)
target_compile_definitions(auditor_tests PRIVATE
    BROWSER_TABLE_SQL="${AUDITOR_DIR}/table.sql")

# The aids through the real main dialog, offscreen, with a real import.
tavrin_add_gtest(auditor_ui_tests
    SOURCES ${AUDITOR_DIR}/auditor_ui_test.cpp
    LIBS tavrin_ui tavrin_qt_test_main SQLite::SQLite3)
add_dependencies(auditor_ui_tests lang_modules tavrin-import)
target_compile_definitions(auditor_ui_tests PRIVATE
    TAVRIN_TEST_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}" TAVRIN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
