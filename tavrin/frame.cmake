# The application frame: the main dialog's shell, its control classes, the ticker, the
# prompts interface and the start-up. Included by tavrin/CMakeLists.txt.
#
# Qt test executables of the program use the shared test main, which creates the
# QApplication (offscreen) before the tests run: link the object library
# tavrin_qt_test_main, e.g.
#   tavrin_add_gtest(browser_ui_tests SOURCES list_ctrl_ex_test.cpp
#                    LIBS tavrin_ui tavrin_qt_test_main)
# Its main replaces GoogleTest's own. Tests that build the main dialog need the language
# modules: add_dependencies(<test> lang_modules), and make one module current
# (SetCurrentLangModule, tavrin/res_string.h) loaded from ${TAVRIN_PROGRAM_DIR}.

# Plain pieces (no Qt).
add_library(tavrin_frame STATIC ${CMAKE_CURRENT_SOURCE_DIR}/date_range.cpp)
target_include_directories(tavrin_frame PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavrin_frame PUBLIC platform)
list(APPEND TAVRIN_LIBS tavrin_frame)

set(FRAME_DIR ${CMAKE_CURRENT_SOURCE_DIR})
list(APPEND TAVRIN_UI_SOURCES
    ${FRAME_DIR}/tavrin_dlg.h ${FRAME_DIR}/tavrin_dlg.cpp
    ${FRAME_DIR}/tavrin_dlg_browse.cpp
    ${FRAME_DIR}/tavrin_dlg_import.cpp
    ${FRAME_DIR}/tavrin_dlg_close.cpp
    ${FRAME_DIR}/list_ctrl_ex.h ${FRAME_DIR}/list_ctrl_ex.cpp
    ${FRAME_DIR}/list_ctrl_ex_dispatch.cpp
    ${FRAME_DIR}/session_table_model.h ${FRAME_DIR}/session_table_model.cpp
    ${FRAME_DIR}/audit_combo_box.h ${FRAME_DIR}/audit_combo_box.cpp
    ${FRAME_DIR}/package_combo_box.h ${FRAME_DIR}/package_combo_box.cpp
    ${FRAME_DIR}/control_loader.cpp
    ${FRAME_DIR}/dialog_events.cpp
    ${FRAME_DIR}/res_string.cpp
    ${FRAME_DIR}/user_prompts.cpp
    ${FRAME_DIR}/qt_translations.h ${FRAME_DIR}/qt_translations.cpp
    ${FRAME_DIR}/time_thread.cpp)
if(EXISTS ${FRAME_DIR}/tavrin_app.cpp)
    list(APPEND TAVRIN_UI_SOURCES ${FRAME_DIR}/tavrin_app.h ${FRAME_DIR}/tavrin_app.cpp)
endif()

add_library(tavrin_qt_test_main OBJECT ${FRAME_DIR}/qt_test_main.cpp)
target_link_libraries(tavrin_qt_test_main PUBLIC Qt6::Widgets GTest::gtest)

tavrin_add_gtest(tavrin_frame_tests
    SOURCES ${FRAME_DIR}/date_range_test.cpp
    LIBS tavrin_frame)
file(GLOB FRAME_UI_TESTS CONFIGURE_DEPENDS ${FRAME_DIR}/frame_ui_test*.cpp)
list(APPEND FRAME_UI_TESTS ${FRAME_DIR}/session_table_model_test.cpp
     ${FRAME_DIR}/tavrin_dlg_window_test.cpp)
if(FRAME_UI_TESTS)
    tavrin_add_gtest(tavrin_frame_ui_tests
        SOURCES ${FRAME_UI_TESTS}
        LIBS tavrin_ui tavrin_qt_test_main Qt6::Test)
    add_dependencies(tavrin_frame_ui_tests lang_modules)
    # The tests find the program folder even when the environment does not name it.
    target_compile_definitions(tavrin_frame_ui_tests PRIVATE
        TAVRIN_TEST_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}")
    add_dependencies(tavrin_frame_ui_tests Tavrin)
endif()
