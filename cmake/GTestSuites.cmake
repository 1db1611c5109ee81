# Run by CTest before it runs the tests: lists the suites of one GoogleTest executable and adds
# one test per suite (`<library>.<Suite>`, running `--gtest_filter=<Suite>.*`). A process per
# suite instead of a process per test keeps the start-up of the sanitizer build (about a second
# per process) from dominating the run, while a failing suite still names itself.
#
# Expects: _korvane_exe, _korvane_dir (working directory), _korvane_lib, _korvane_env.
set(_cache "${_korvane_dir}/${_korvane_lib}_suites_listed.cmake")
if(EXISTS "${_cache}" AND EXISTS "${_korvane_exe}" AND NOT "${_korvane_exe}" IS_NEWER_THAN "${_cache}")
    include("${_cache}")
    return()
endif()
if(NOT EXISTS "${_korvane_exe}")
    add_test("${_korvane_lib}.NOT_BUILT" "${_korvane_exe}")
    return()
endif()
set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND "${_korvane_exe}" --gtest_list_tests
                WORKING_DIRECTORY "${_korvane_dir}"
                OUTPUT_VARIABLE _listing ERROR_VARIABLE _errors RESULT_VARIABLE _rc
                TIMEOUT 60)
if(NOT _rc EQUAL 0)
    # Keep the failure visible as a test of its own rather than silently running nothing.
    add_test("${_korvane_lib}.LISTING_FAILED" "${_korvane_exe}" --gtest_list_tests)
    set_tests_properties("${_korvane_lib}.LISTING_FAILED" PROPERTIES
        WORKING_DIRECTORY "${_korvane_dir}" ENVIRONMENT "${_korvane_env}")
    return()
endif()
# Suite lines start in column one and end in "."; test lines are indented.
string(REGEX MATCHALL "(^|\n)[^ \n#][^ \n]*\\." _suites "${_listing}")
set(_script "")
foreach(_suite IN LISTS _suites)
    string(STRIP "${_suite}" _suite)
    string(REGEX REPLACE "\\.$" "" _suite "${_suite}")
    set(_test "${_korvane_lib}.${_suite}")
    string(APPEND _script
        "add_test([==[${_test}]==] [==[${_korvane_exe}]==] [==[--gtest_filter=${_suite}.*]==])\n"
        "set_tests_properties([==[${_test}]==] PROPERTIES WORKING_DIRECTORY [==[${_korvane_dir}]==]"
        " ENVIRONMENT [==[${_korvane_env}]==] TIMEOUT 600)\n")
endforeach()
# Listed once per build of the executable.
file(WRITE "${_cache}" "${_script}")
include("${_cache}")
