# One call per target: sondrel_add_library, sondrel_add_plugin_library,
# sondrel_add_executable and sondrel_add_test.

set(SONDREL_WARNINGS -Wall -Wextra -Wshadow -Wold-style-cast)

function(_sondrel_common target)
    target_compile_options(${target} PRIVATE ${SONDREL_WARNINGS})
    target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
endfunction()

# A static library of the program, linked by the executable and the tests.
function(sondrel_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;PUBLIC_DEPENDS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPENDS} PRIVATE ${ARG_DEPENDS})
    _sondrel_common(${name})
endfunction()

# One of our own shared libraries with a C interface, loaded at run time by
# plain name (never linked by the program).
function(sondrel_add_plugin_library name)
    cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;DEPENDS" ${ARGN})
    add_library(${name} SHARED ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS})
    set_target_properties(${name} PROPERTIES
        C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    if(ARG_OUTPUT_NAME)
        set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
    endif()
    _sondrel_common(${name})
endfunction()

function(sondrel_add_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS})
    _sondrel_common(${name})
endfunction()

# tests/<folder>/tst_<unit>.cpp becomes the executable tst_<unit>, registered
# with CTest and run headless.
function(sondrel_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPENDS;ENVIRONMENT" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test sondrel_testsupport ${ARG_DEPENDS})
    _sondrel_common(${name})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    if(SONDREL_SANITIZE)
        # Instrumented code runs two to three times slower.
        math(EXPR ARG_TIMEOUT "${ARG_TIMEOUT} * 3")
        list(APPEND ARG_ENVIRONMENT ${SONDREL_SANITIZER_ENVIRONMENT})
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SONDREL_LIB_DIR=${CMAKE_BINARY_DIR}/lib;SONDREL_BIN_DIR=${CMAKE_BINARY_DIR}/bin;${ARG_ENVIRONMENT}")
endfunction()

# How the tests of a sanitizer build run: a leak fails the test, and so does
# any finding of UBSan. Nothing is suppressed.
set(SONDREL_SANITIZER_ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
