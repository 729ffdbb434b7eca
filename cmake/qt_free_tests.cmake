# Collects the GoogleTest programs that link no Qt target, directly or through the libraries
# they use, into the target qt_free_tests, and writes their paths, one a line, to
# qt_free_tests.txt in the build folder (for scripts/test-windows.sh).

# Sets out_var to TRUE when target (or anything it links) is a Qt6:: target.
function(tavrin_links_qt target out_var)
    get_property(seen GLOBAL PROPERTY TAVRIN_QT_SEEN)
    if(target IN_LIST seen)
        get_property(verdict GLOBAL PROPERTY TAVRIN_QT_VERDICT_${target})
        set(${out_var} ${verdict} PARENT_SCOPE)
        return()
    endif()
    set_property(GLOBAL APPEND PROPERTY TAVRIN_QT_SEEN ${target})
    set(verdict FALSE)
    if(target MATCHES "^Qt6::")
        set(verdict TRUE)
    elseif(TARGET ${target})
        get_target_property(imported ${target} IMPORTED)
        get_target_property(type ${target} TYPE)
        set(links "")
        if(NOT imported)
            # Targets it waits for count too: a test may need a Qt program built first.
            get_target_property(waits ${target} MANUALLY_ADDED_DEPENDENCIES)
            if(waits)
                list(APPEND links ${waits})
            endif()
        endif()
        if(NOT imported AND NOT type STREQUAL "UTILITY")
            get_target_property(direct ${target} LINK_LIBRARIES)
            if(direct)
                list(APPEND links ${direct})
            endif()
        endif()
        if(NOT type STREQUAL "UTILITY")
            get_target_property(iface ${target} INTERFACE_LINK_LIBRARIES)
            if(iface)
                list(APPEND links ${iface})
            endif()
        endif()
        foreach(dep ${links})
            # $<LINK_ONLY:x> and similar wrappers around a plain name.
            string(REGEX REPLACE "^\\$<[A-Z_]+:(.*)>$" "\\1" dep "${dep}")
            if(dep MATCHES "[$<>]")
                continue()
            endif()
            tavrin_links_qt(${dep} dep_qt)
            if(dep_qt)
                set(verdict TRUE)
                break()
            endif()
        endforeach()
    endif()
    set_property(GLOBAL PROPERTY TAVRIN_QT_VERDICT_${target} ${verdict})
    set(${out_var} ${verdict} PARENT_SCOPE)
endfunction()

# Runs once everything is configured, since fragments link targets defined later.
function(tavrin_collect_qt_free_tests)
    get_property(tests GLOBAL PROPERTY TAVRIN_GTESTS)
    set(free "")
    set(paths "")
    foreach(test ${tests})
        tavrin_links_qt(${test} uses_qt)
        if(NOT uses_qt)
            list(APPEND free ${test})
            string(APPEND paths "$<TARGET_FILE:${test}>\n")
        endif()
    endforeach()
    add_custom_target(qt_free_tests DEPENDS ${free})
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/qt_free_tests.txt CONTENT "${paths}")
    list(LENGTH free count)
    message(STATUS "Qt-free test programs (${count}): ${free}")
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tavrin_collect_qt_free_tests)

# The test files left out of a Windows build because they test POSIX behaviour.
function(tavrin_list_posix_only_tests)
    get_property(files GLOBAL PROPERTY TAVRIN_POSIX_ONLY_TESTS)
    set(text "")
    foreach(f ${files})
        file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${f})
        string(APPEND text "${rel}\n")
    endforeach()
    file(WRITE ${CMAKE_BINARY_DIR}/posix_only_tests.txt "${text}")
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tavrin_list_posix_only_tests)

# The Windows check builds each target as one unity source (scripts/test-windows.sh): a third
# of the time of a build file by file. These files define helpers under names that another
# file of the same target uses too, or call a function whose name <windows.h>, included by a
# file before them, makes a macro (WriteProfileString); each stays a source of its own.
if(CMAKE_UNITY_BUILD)
    foreach(file platform/codepage_win32.cpp
                 platform/profile_ini_test.cpp
                 platform/termination_signals_win32.cpp
                 tavrin/find/session_search.cpp
                 tavrin/shell/statement_runner.cpp
                 tavrin/workspace/sql_loader.cpp
                 tavrin/workspace/sql_dump_conversion_test.cpp)
        get_filename_component(dir ${CMAKE_SOURCE_DIR}/${file} DIRECTORY)
        set_source_files_properties(${CMAKE_SOURCE_DIR}/${file} DIRECTORY ${dir}
                                    PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endforeach()
endif()
