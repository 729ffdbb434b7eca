# Keeping a package's files and names inside it: the unpacked size an archive declares, the
# names a package may have, the paths handed to players; their tests.
set(CONTAINMENT_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(tavrin_containment STATIC
    ${CONTAINMENT_DIR}/archive_listing.cpp
    ${CONTAINMENT_DIR}/leftover_work_folder.cpp)
target_include_directories(tavrin_containment PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavrin_containment PUBLIC platform)
list(APPEND TAVRIN_LIBS tavrin_containment)
# The import (made by a later fragment) checks the listing before unpacking.
cmake_language(DEFER CALL target_link_libraries tavrin_import PUBLIC tavrin_containment)

tavrin_add_gtest(containment_tests
    SOURCES ${CONTAINMENT_DIR}/archive_listing_test.cpp
            ${CONTAINMENT_DIR}/leftover_work_folder_test.cpp
            ${CONTAINMENT_DIR}/hostile_names_test.cpp
    LIBS tavrin_containment tavrin_import tavrin_hardening tavrin_players SQLite::SQLite3)
add_dependencies(containment_tests tavrin-import tavrin_program_folder tavrin_table_sql)
target_compile_definitions(containment_tests PRIVATE
    TAVRIN_TEST_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}" TAVRIN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
