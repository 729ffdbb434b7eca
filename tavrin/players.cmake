# Player dispatch and the registry sweep: plain code, no widgets.
add_library(tavrin_players STATIC
    ${CMAKE_CURRENT_LIST_DIR}/close_cleanup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/player_launch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registry_sweep.cpp)
target_include_directories(tavrin_players PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavrin_players PUBLIC tavrin_workspace common platform SQLite::SQLite3)
list(APPEND TAVRIN_LIBS tavrin_players)

# A stand-in player for the tests: records its command line beside itself, registers in the
# registry of its own folder and, when asked to, stays running.
add_executable(player_probe ${CMAKE_CURRENT_LIST_DIR}/player_probe.cpp)
target_link_libraries(player_probe PRIVATE common platform)
set_target_properties(player_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

tavrin_add_gtest(tavrin_players_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/close_cleanup_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/player_launch_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/registry_sweep_test.cpp
    LIBS tavrin_players)
add_dependencies(tavrin_players_tests player_probe)
target_compile_definitions(tavrin_players_tests PRIVATE
    PLAYER_PROBE_PATH="$<TARGET_FILE:player_probe>")

# Dispatch and close handling through the real dialog.
tavrin_add_gtest(tavrin_players_ui_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/players_ui_test.cpp
    LIBS tavrin_ui tavrin_qt_test_main)
add_dependencies(tavrin_players_ui_tests lang_modules player_probe stand_in_players)
target_compile_definitions(tavrin_players_ui_tests PRIVATE
    PLAYER_PROBE_PATH="$<TARGET_FILE:player_probe>"
    STAND_IN_DIR="${TAVRIN_PROGRAM_DIR}"
    TAVRIN_TEST_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}" TAVRIN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
