# tavrin-query WORKFOLDER [options]: one browser view of an imported package on the command
# line, through the browser model; kept in the program folder beside tavrin-import.
set(QUERY_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(tavrin_query_tool STATIC
    ${QUERY_DIR}/query_find.cpp
    ${QUERY_DIR}/query_options.cpp
    ${QUERY_DIR}/query_output.cpp)
target_include_directories(tavrin_query_tool PUBLIC ${CMAKE_SOURCE_DIR})
# tavrin_auditor (CSV lines), tavrin_frame (calendar dates) and tavrin_workspace (package
# names) come from other fragments; the names are resolved at generation.
target_link_libraries(tavrin_query_tool PUBLIC tavrin_browser tavrin_auditor tavrin_frame
                      tavrin_workspace tavrin_find platform)

add_executable(tavrin-query ${QUERY_DIR}/tavrin_query_main.cpp)
target_link_libraries(tavrin-query PRIVATE tavrin_query_tool common SQLite::SQLite3)

# The program on real packages imported by tavrin-import, and the name filters against a
# reference over the sample generator's words.
tavrin_add_gtest(query_tool_tests
    SOURCES ${QUERY_DIR}/query_options_test.cpp
            ${QUERY_DIR}/tavrin_query_test.cpp
    LIBS tavrin_query_tool tavrin_import shell SQLite::SQLite3)
add_dependencies(query_tool_tests tavrin-query tavrin-import)
target_compile_definitions(query_tool_tests PRIVATE
    TAVRIN_TEST_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}" TAVRIN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    BROWSER_TABLE_SQL="${QUERY_DIR}/table.sql")
