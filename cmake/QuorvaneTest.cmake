# quorvane_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [GTEST] [QTEST])
#
# The one way to add a test: every test runs headless (offscreen platform) in a fixed
# locale, with its own empty configuration and home folders so that no test ever reads
# or writes the developer's real settings. The folders are emptied before every run.
function(quorvane_add_test)
    cmake_parse_arguments(T "GTEST;QTEST" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
    # Cases that need FIFOs, sockets, links or raw byte names build where those exist.
    if(NOT WIN32)
        target_compile_definitions(${T_NAME} PRIVATE QUORVANE_POSIX_TESTS)
    endif()
    if(T_GTEST)
        target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main)
    endif()
    if(T_QTEST)
        target_link_libraries(${T_NAME} PRIVATE Qt6::Test)
    endif()
    set(sandbox ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.sandbox)
    add_test(NAME ${T_NAME}
             COMMAND ${CMAKE_COMMAND} -DSANDBOX=${sandbox} -DPROGRAM=$<TARGET_FILE:${T_NAME}>
                     -P ${PROJECT_SOURCE_DIR}/cmake/RunInSandbox.cmake)
    # Document text is read by the worker program of this build, not an installed one.
    set(reader "")
    if(TARGET quorvane-reader)
        set(reader "QUORVANE_READER=$<TARGET_FILE:quorvane-reader>;")
    endif()
    set_tests_properties(${T_NAME} PROPERTIES
        TIMEOUT 300
        ENVIRONMENT "${reader}QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;LANGUAGE=;TZ=UTC;XDG_CONFIG_HOME=${sandbox}/config;HOME=${sandbox}/home;QT_LOGGING_RULES=qt.qpa.*=false")
endfunction()
