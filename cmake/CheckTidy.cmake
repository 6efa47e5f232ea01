# Runs clang-tidy with the committed .clang-tidy over every source of the
# project that the build compiles (BINARY_DIR/compile_commands.json), files
# in parallel, and fails on any finding. Run by CTest as the test "tidy" with
# RUN_CLANG_TIDY, SOURCE_DIR, BINARY_DIR and JOBS set. Needs a finished build:
# the sources include headers that moc and the build's include folders make.
cmake_minimum_required(VERSION 3.25)

if(NOT RUN_CLANG_TIDY OR NOT EXISTS "${RUN_CLANG_TIDY}")
    find_program(found_run_clang_tidy NAMES run-clang-tidy-14 run-clang-tidy)
    set(RUN_CLANG_TIDY ${found_run_clang_tidy})
endif()
if(NOT RUN_CLANG_TIDY)
    message(FATAL_ERROR "run-clang-tidy is not installed, so the sources cannot be checked: "
                        "install clang-tidy (packages.txt lists it).")
endif()
set(database ${BINARY_DIR}/compile_commands.json)
if(NOT EXISTS ${database})
    message(FATAL_ERROR "${database} is missing: configure with CMAKE_EXPORT_COMPILE_COMMANDS.")
endif()

function(_escape_regex out text)
    string(REGEX REPLACE "([][+.*()^$?|\\\\{}])" "\\\\\\1" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()
_escape_regex(source_re ${SOURCE_DIR})
_escape_regex(binary_re ${BINARY_DIR})

# Our sources are the database's files in the source tree; what the build
# tree generates (moc, resources) is not ours to fix, also when the build
# tree lies inside the source tree.
file(READ ${database} json)
string(JSON count LENGTH "${json}")
math(EXPR last "${count} - 1")
set(sources)
set(folders)
foreach(index RANGE ${last})
    string(JSON file GET "${json}" ${index} file)
    if(file MATCHES "^${binary_re}/" OR NOT file MATCHES "^${source_re}/([^/]+)/")
        continue()
    endif()
    # The program's own code; the test suites are held to their own
    # findings by running, and parsing them (Qt Test and Widgets in every
    # file) would double the check's time.
    if(CMAKE_MATCH_1 STREQUAL "tests")
        continue()
    endif()
    list(APPEND sources ${file})
    list(APPEND folders ${CMAKE_MATCH_1})
endforeach()
if(NOT sources)
    message(FATAL_ERROR "${database} lists no sources of ${SOURCE_DIR}.")
endif()
list(REMOVE_DUPLICATES sources)
list(REMOVE_DUPLICATES folders)

# Headers are reached through the build's include folders (links to the
# sources) or, for private *_p.h, in the source folders themselves.
list(JOIN folders "|" folders)
set(header_filter "^(${binary_re}/include/|${source_re}/(${folders})/)")
# run-clang-tidy takes regular expressions for the files it checks.
set(file_res)
foreach(file IN LISTS sources)
    _escape_regex(file_re ${file})
    list(APPEND file_res "^${file_re}$")
endforeach()

list(LENGTH sources count)
message(STATUS "clang-tidy on ${count} files, ${JOBS} at a time")
# -Wno-error: the compile commands carry -Werror in CI, and a compiler
# warning that clang knows and GCC does not is no finding of ours; the
# warnings themselves stay GCC's to report.
execute_process(
    COMMAND ${RUN_CLANG_TIDY} -quiet -p ${BINARY_DIR} -j ${JOBS}
            -header-filter=${header_filter} -extra-arg=-Wno-error ${file_res}
    WORKING_DIRECTORY ${BINARY_DIR}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
# run-clang-tidy colours clang-tidy's output whatever it goes to.
string(ASCII 27 escape)
string(REGEX REPLACE "${escape}\\[[0-9;]*m" "" output "${output}")
# run-clang-tidy repeats each command line; the findings are what matters.
string(REGEX REPLACE "(^|\n)[^\n]*clang-tidy[^\n]* -header-filter=[^\n]*" "" output "${output}")
string(REGEX REPLACE "\n[0-9]+ warnings? (and [0-9]+ errors? )?generated\\.?" "" output "${output}")
message("${output}")
# run-clang-tidy fails only where clang-tidy could not parse a file; a
# finding is a warning in its output.
if(NOT result EQUAL 0 OR output MATCHES ": (warning|error): ")
    message(FATAL_ERROR "clang-tidy found problems (above); fix them, or say in .clang-tidy why a check does not apply.")
endif()
