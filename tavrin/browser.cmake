# Session browser: query texts, filters, paging arithmetic and row filling (no widgets), the
# table script of Parent.db, and their tests.
add_library(tavrin_browser STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/ipv4_check.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/query_builder.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/paging.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/row_fill.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/browser_db.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/codepage_like.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/browser_model.cpp)
target_include_directories(tavrin_browser PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavrin_browser PUBLIC common platform SQLite::SQLite3 Qt6::Core Boost::headers)
list(APPEND TAVRIN_LIBS tavrin_browser)

# table.sql lies in the program folder, where the import reads it.
add_custom_command(OUTPUT ${TAVRIN_PROGRAM_DIR}/table.sql
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVRIN_PROGRAM_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_SOURCE_DIR}/table.sql
            ${TAVRIN_PROGRAM_DIR}/table.sql
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/table.sql
    COMMENT "Installing table.sql into the program folder")
add_custom_target(tavrin_table_sql ALL DEPENDS ${TAVRIN_PROGRAM_DIR}/table.sql)
add_dependencies(tavrin_browser tavrin_table_sql)

set(BROWSER_TEST_SOURCES "")
foreach(name ipv4_check query_builder paging row_fill browser_db codepage_like browser_model)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${name}_test.cpp)
        list(APPEND BROWSER_TEST_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${name}_test.cpp)
    endif()
endforeach()
if(BROWSER_TEST_SOURCES)
    tavrin_add_gtest(browser_tests SOURCES ${BROWSER_TEST_SOURCES}
        LIBS tavrin_browser shell SQLite::SQLite3)
    target_compile_definitions(browser_tests PRIVATE
        BROWSER_TABLE_SQL="${CMAKE_CURRENT_SOURCE_DIR}/table.sql")
endif()

# The browser driven through the real main dialog, offscreen (tavrin_ui is made after all
# fragments; the name is resolved then).
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/browser_dialog_test.cpp)
    tavrin_add_gtest(browser_ui_tests
        SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/browser_dialog_test.cpp
        LIBS tavrin_ui tavrin_qt_test_main shell)
    target_compile_definitions(browser_ui_tests PRIVATE
        BROWSER_TABLE_SQL="${CMAKE_CURRENT_SOURCE_DIR}/table.sql"
        BROWSER_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}")
    add_dependencies(browser_ui_tests lang_modules)
endif()
