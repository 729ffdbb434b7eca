# Package import: the archiver run and the no-window import component the dialog drives,
# the tavrin-import command, and the program folder's archiver link and registry folder.
set(IMPORT_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(tavrin_import STATIC
    ${IMPORT_DIR}/archive_extractor.cpp)
target_include_directories(tavrin_import PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavrin_import PUBLIC common platform Threads::Threads)
list(APPEND TAVRIN_LIBS tavrin_import)

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

tavrin_add_gtest(import_tests
    SOURCES ${IMPORT_DIR}/archive_extractor_test.cpp
    LIBS tavrin_import)
# The tests find the program folder and the sources through these, not the environment.
target_compile_definitions(import_tests PRIVATE
    TAVRIN_TEST_PROGRAM_DIR="${TAVRIN_PROGRAM_DIR}" TAVRIN_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
