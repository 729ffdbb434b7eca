# Finding text across sessions: the index of a package's session texts, built on a thread of
# its own after the loads, and the search over the indexes of one or more packages. Plain C++
# with SQLite (FTS5), no Qt.
set(FIND_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(tavrin_find STATIC
    ${FIND_DIR}/appliance_path.cpp
    ${FIND_DIR}/session_index.cpp
    ${FIND_DIR}/session_index_runner.cpp
    ${FIND_DIR}/session_search.cpp
    ${FIND_DIR}/session_tokenizer.cpp)
target_include_directories(tavrin_find PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavrin_find PUBLIC platform SQLite::SQLite3 Threads::Threads)
list(APPEND TAVRIN_LIBS tavrin_find)

# Packages with known texts, imported with the real import, then indexed and searched.
tavrin_add_gtest(find_tests
    SOURCES ${FIND_DIR}/appliance_path_test.cpp
            ${FIND_DIR}/session_index_test.cpp
            ${FIND_DIR}/session_index_runner_test.cpp
            ${FIND_DIR}/session_tokenizer_test.cpp
    LIBS tavrin_find tavrin_import SQLite::SQLite3)
target_compile_definitions(find_tests PRIVATE
    TAVRIN_TEST_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}" TAVRIN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(find_tests tavrin_table_sql)
