# One line per library and one per test executable:
#
#   korvane_library(framework DEPENDS platform Qt6::Core)
#   korvane_tests(framework [DEPENDS extra-libs...])
#
# A library takes every .cpp below its folder except *_test.cpp and the fuzz/bench folders;
# its test executable takes every *_test.cpp below the folder. Includes are written from the
# repository root ("framework/core/Exception.h").
#
# One folder may hold more than one library: FOLDERS names the sub-folders a library takes (and
# everything below them), EXCLUDE the sub-folders it leaves to another. New files then land in the
# right library without an edit:
#
#   korvane_library(framework_core FOLDERS core data DEPENDS platform)
#   korvane_library(framework EXCLUDE core data DEPENDS framework_core)
#   korvane_tests(framework_core FOLDERS core data testsupport)

cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH KORVANE_ROOT)
cmake_path(GET KORVANE_ROOT PARENT_PATH KORVANE_SHARED_DIR)
set(KORVANE_SHARED_DIR "${KORVANE_SHARED_DIR}/shared")

# The files matching the patterns below the folders a library takes (see FOLDERS and EXCLUDE).
function(_korvane_glob out folders excluded)
    set(roots)
    if(folders)
        foreach(folder IN LISTS folders)
            list(APPEND roots "${CMAKE_CURRENT_SOURCE_DIR}/${folder}")
        endforeach()
    else()
        set(roots "${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
    set(patterns)
    foreach(root IN LISTS roots)
        foreach(pattern IN LISTS ARGN)
            list(APPEND patterns "${root}/${pattern}")
        endforeach()
    endforeach()
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${patterns})
    set(kept)
    foreach(file IN LISTS found)
        file(RELATIVE_PATH relative "${CMAKE_CURRENT_SOURCE_DIR}" "${file}")
        set(skip FALSE)
        foreach(folder IN LISTS excluded)
            if(relative MATCHES "^${folder}/")
                set(skip TRUE)
            endif()
        endforeach()
        if(NOT skip)
            list(APPEND kept "${file}")
        endif()
    endforeach()
    set(${out} ${kept} PARENT_SCOPE)
endfunction()

function(korvane_library name)
    cmake_parse_arguments(ARG "" "" "DEPENDS;PRIVATE;FOLDERS;EXCLUDE" ${ARGN})
    _korvane_glob(sources "${ARG_FOLDERS}" "${ARG_EXCLUDE}" "*.cpp" "*.c")
    list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
    # Matched below the library's folder only: the checkout's own path may hold such a name.
    set(kept)
    foreach(source IN LISTS sources)
        file(RELATIVE_PATH relative "${CMAKE_CURRENT_SOURCE_DIR}" "${source}")
        if(NOT relative MATCHES "(^|/)(testsupport|fuzz|bench)/")
            list(APPEND kept "${source}")
        endif()
    endforeach()
    add_library(${name} STATIC ${kept})
    add_library(korvane::${name} ALIAS ${name})
    target_include_directories(${name} PUBLIC "${KORVANE_ROOT}")
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE ${ARG_PRIVATE})
    target_compile_definitions(${name} PRIVATE
        KORVANE_SOURCE_DIR="${KORVANE_ROOT}" KORVANE_SHARED_DIR="${KORVANE_SHARED_DIR}")
endfunction()

# Test support code of a library (its testsupport/ folder) is built into its test executable,
# and other libraries' tests may link it as <name>_testsupport.
function(korvane_tests name)
    if(NOT KORVANE_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "DEPENDS;FOLDERS;EXCLUDE" ${ARGN})
    _korvane_glob(tests "${ARG_FOLDERS}" "${ARG_EXCLUDE}" "*_test.cpp")
    # Every testsupport/ folder below the library (framework/ui/testsupport/ included).
    _korvane_glob(support "${ARG_FOLDERS}" "${ARG_EXCLUDE}" "*.cpp")
    list(FILTER support INCLUDE REGEX "/testsupport/")
    list(FILTER support EXCLUDE REGEX "_test\\.cpp$")
    if(support)
        add_library(${name}_testsupport STATIC ${support})
        target_link_libraries(${name}_testsupport PUBLIC ${name} GTest::gtest ${ARG_DEPENDS})
        set(support_lib ${name}_testsupport)
    endif()
    if(NOT tests)
        return()
    endif()
    add_executable(${name}_tests ${tests} "${KORVANE_ROOT}/cmake/TestMain.cpp")
    target_link_libraries(${name}_tests PRIVATE ${name} ${support_lib} ${ARG_DEPENDS}
                          GTest::gtest GTest::gmock)
    target_compile_definitions(${name}_tests PRIVATE
        KORVANE_SOURCE_DIR="${KORVANE_ROOT}" KORVANE_SHARED_DIR="${KORVANE_SHARED_DIR}"
        KORVANE_TESTDATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/testdata"
        KORVANE_BUILD_DIR="${CMAKE_CURRENT_BINARY_DIR}")
    # One CTest test per suite, listed when CTest starts (see GTestSuites.cmake).
    set(env "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    set(include_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_suites.cmake")
    file(GENERATE OUTPUT "${include_file}" CONTENT
"set(_korvane_exe \"$<TARGET_FILE:${name}_tests>\")
set(_korvane_dir \"${CMAKE_CURRENT_BINARY_DIR}\")
set(_korvane_lib \"${name}\")
set(_korvane_env \"${env}\")
include(\"${KORVANE_ROOT}/cmake/GTestSuites.cmake\")
")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()

# Every *.cpp in a folder becomes one executable linked with the named libraries that exist
# (libraries of this project that are not built yet are skipped).
function(korvane_programs)
    cmake_parse_arguments(ARG "" "SUFFIX" "LIBRARIES;OPTIONS" ${ARGN})
    file(GLOB programs CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    foreach(source IN LISTS programs)
        get_filename_component(stem "${source}" NAME_WE)
        set(target "${stem}${ARG_SUFFIX}")
        add_executable(${target} "${source}")
        foreach(lib IN LISTS ARG_LIBRARIES)
            if(TARGET ${lib})
                target_link_libraries(${target} PRIVATE ${lib})
            endif()
        endforeach()
        target_compile_options(${target} PRIVATE ${ARG_OPTIONS})
        target_link_options(${target} PRIVATE ${ARG_OPTIONS})
        target_compile_definitions(${target} PRIVATE
            KORVANE_SOURCE_DIR="${KORVANE_ROOT}" KORVANE_SHARED_DIR="${KORVANE_SHARED_DIR}")
    endforeach()
endfunction()
