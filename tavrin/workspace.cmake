# Package workspace: package names and folder layout, the package flags, the dump conversions
# and the SQL loaders with their background worker. Plain C++ with SQLite, no Qt.
set(WORKSPACE_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(tavrin_workspace STATIC
    ${WORKSPACE_DIR}/package_name.cpp
    ${WORKSPACE_DIR}/workspace_paths.cpp
    ${WORKSPACE_DIR}/package_flags.cpp
    ${WORKSPACE_DIR}/line_reader.cpp
    ${WORKSPACE_DIR}/sql_dump_conversion.cpp
    ${WORKSPACE_DIR}/sql_loader.cpp
    ${WORKSPACE_DIR}/insert_fast_path.cpp
    ${WORKSPACE_DIR}/insert_worker.cpp)
target_include_directories(tavrin_workspace PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavrin_workspace PUBLIC common platform SQLite::SQLite3 Threads::Threads)
list(APPEND TAVRIN_LIBS tavrin_workspace)

tavrin_add_gtest(workspace_tests
    SOURCES
        ${WORKSPACE_DIR}/package_name_test.cpp
        ${WORKSPACE_DIR}/line_reader_test.cpp
        ${WORKSPACE_DIR}/workspace_paths_test.cpp
        ${WORKSPACE_DIR}/sql_dump_conversion_test.cpp
        ${WORKSPACE_DIR}/sql_loader_test.cpp
        ${WORKSPACE_DIR}/insert_fast_path_test.cpp
        ${WORKSPACE_DIR}/insert_worker_test.cpp
    LIBS tavrin_workspace shell)
