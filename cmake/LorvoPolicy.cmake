# The one place that says how every target of the project is compiled.
add_library(lorvo_policy INTERFACE)
target_compile_features(lorvo_policy INTERFACE cxx_std_20)
if(MSVC)
    target_compile_options(lorvo_policy INTERFACE /W4 /permissive- /utf-8)
else()
    target_compile_options(lorvo_policy INTERFACE -Wall -Wextra -Wpedantic)
endif()
target_compile_definitions(lorvo_policy INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH
    QT_USE_QSTRINGBUILDER
    QT_DISABLE_DEPRECATED_BEFORE=0x060400
    LORVO_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    LORVO_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    LORVO_VERSION_PATCH=${PROJECT_VERSION_PATCH}
)
# The platform choice: one define, read in one place (shared/platform.h).
if(WIN32)
    target_compile_definitions(lorvo_policy INTERFACE LORVO_PLATFORM_WINDOWS=1)
else()
    target_compile_definitions(lorvo_policy INTERFACE LORVO_PLATFORM_WINDOWS=0)
endif()

# Fuzzing (tests/fuzz/run-fuzz): a build folder of its own where every target is compiled for
# libFuzzer with the address and undefined-behaviour sanitizers. Clang only; never the regular build.
option(LORVO_FUZZ "Build the fuzz targets in tests/fuzz (clang, sanitizers)" OFF)
if(LORVO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "LORVO_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
    target_compile_options(lorvo_policy INTERFACE -fsanitize=address,undefined,fuzzer-no-link
        -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(lorvo_policy INTERFACE -fsanitize=address,undefined)
endif()

# lorvo_add_library(NAME [GUI] SOURCES ...): a library of the project under the compile policy.
function(lorvo_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
    target_link_libraries(${name} PUBLIC lorvo_policy ${ARG_LIBS})
endfunction()

# lorvo_add_test(NAME SOURCES ... LIBS ...): one test executable of one area, run offscreen by CTest.
function(lorvo_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
    target_link_libraries(${name} PRIVATE lorvo_policy lorvo_testsupport Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LORVO_TEST_BINARY_DIR=${CMAKE_BINARY_DIR};LORVO_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
