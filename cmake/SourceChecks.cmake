# The checks of the sources themselves, as CTest tests beside the others.
# Both are registered even without their tools: the check then fails and
# says why, rather than quietly not running.

# "format": every C and C++ file git tracks is as clang-format makes it.
find_program(CLANG_FORMAT NAMES clang-format)
add_test(NAME format
    COMMAND ${CMAKE_COMMAND} -DCLANG_FORMAT=${CLANG_FORMAT} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckFormat.cmake)

# "tidy": clang-tidy finds nothing in the program's sources (the test
# suites left out). Off by default, on in CI (build.sh): it takes about a
# minute of both cores. Never in the sanitizer build: it compiles the same
# sources, and would only repeat the work.
option(SONDREL_TIDY "Register the clang-tidy check of the sources as the test \"tidy\"" OFF)
if(SONDREL_TIDY AND NOT SONDREL_SANITIZE)
    find_program(RUN_CLANG_TIDY NAMES run-clang-tidy-14 run-clang-tidy)
    cmake_host_system_information(RESULT tidy_jobs QUERY NUMBER_OF_LOGICAL_CORES)
    add_test(NAME tidy
        COMMAND ${CMAKE_COMMAND} -DRUN_CLANG_TIDY=${RUN_CLANG_TIDY} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                -DBINARY_DIR=${CMAKE_BINARY_DIR} -DJOBS=${tidy_jobs}
                -P ${CMAKE_SOURCE_DIR}/cmake/CheckTidy.cmake)
    # It keeps every core busy itself.
    set_tests_properties(tidy PROPERTIES PROCESSORS ${tidy_jobs} TIMEOUT 3600)
endif()
