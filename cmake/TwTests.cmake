# Test executables are Windows programs run by CTest through the safety runner
# (the cross-compiling emulator). One CTest entry per test program keeps the
# number of Wine starts small; GoogleTest reports every case inside it.
#
# Wine takes the time zone from TZ when a process starts, so tests that need a
# particular zone live in suites named Tz<Something> and run in their own CTest
# entry (tw_add_zone_run); the main entry runs everything else under TZ=UTC.
# Suites that briefly change a user setting of the shared Wine prefix (the
# short-date form, say) are named Serial<Something> and run on their own,
# never beside another test program (tw_add_serial_run).
function(tw_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main twcommon)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/common/testing)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 --gtest_filter=-Tz*:Serial*:Chrony*)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 ENVIRONMENT "TZ=UTC")
endfunction()

# tw_add_zone_run(zymdate_tests TzGmtMinus1 Etc/GMT-1) runs suite TzGmtMinus1*
# of zymdate_tests with TZ=Etc/GMT-1.
function(tw_add_zone_run exe suite tz)
    add_test(NAME ${exe}.${suite} COMMAND ${exe} --gtest_brief=1 --gtest_filter=${suite}*)
    set_tests_properties(${exe}.${suite} PROPERTIES TIMEOUT 300 ENVIRONMENT "TZ=${tz}")
endfunction()

# tw_add_serial_run(zymdate_tests SerialLocale) runs suites SerialLocale* alone.
function(tw_add_serial_run exe suite)
    add_test(NAME ${exe}.${suite} COMMAND ${exe} --gtest_brief=1 --gtest_filter=${suite}*)
    set_tests_properties(${exe}.${suite} PROPERTIES TIMEOUT 300 ENVIRONMENT "TZ=UTC" RUN_SERIAL TRUE)
endfunction()
