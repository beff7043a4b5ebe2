# keyloupe_gtest(NAME SOURCES... LIBS ...): a GoogleTest executable registered with ctest, linked with
# the shared test support. The default for every suite.
function(keyloupe_gtest name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} kl_testsupport GTest::gtest GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# keyloupe_qttest(NAME SOURCES... LIBS ...): a Qt Test executable run under the offscreen platform, for
# the suites that drive windows and dialogs with Qt Test's mouse and keyboard helpers.
function(keyloupe_qttest name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE ${T_LIBS} kl_testsupport Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
