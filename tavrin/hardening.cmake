# Hardening against hostile packages: the archiver's version check, the work folder's
# creation and the audit of what was unpacked; their tests and the hostile-package suite.
set(HARDENING_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(tavrin_hardening STATIC
    ${HARDENING_DIR}/archiver_version.cpp
    ${HARDENING_DIR}/unpack_audit.cpp)
target_include_directories(tavrin_hardening PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavrin_hardening PUBLIC platform)
list(APPEND TAVRIN_LIBS tavrin_hardening)
# The import (made by a later fragment) calls these before and after unpacking.
cmake_language(DEFER CALL target_link_libraries tavrin_import PUBLIC tavrin_hardening)

tavrin_add_gtest(hardening_tests
    SOURCES ${HARDENING_DIR}/archiver_version_test.cpp
            ${HARDENING_DIR}/unpack_audit_test.cpp
            ${HARDENING_DIR}/connection_hardening_test.cpp
    LIBS tavrin_hardening common SQLite::SQLite3)
add_dependencies(hardening_tests tavrin_program_folder)

# Packages built by the tests themselves from a generated sample, then made hostile.
tavrin_add_gtest(hostile_package_tests
    SOURCES ${HARDENING_DIR}/hostile_package_test.cpp
    LIBS tavrin_import tavrin_hardening tavrin_browser SQLite::SQLite3)
add_dependencies(hostile_package_tests tavrin-import tavrin_table_sql)

foreach(test hardening_tests hostile_package_tests)
    target_compile_definitions(${test} PRIVATE
        TAVRIN_TEST_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}" TAVRIN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endforeach()
