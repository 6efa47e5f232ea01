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
set(targets)
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
    set(folder ${CMAKE_MATCH_1})
    if(file IN_LIST sources)
        continue()
    endif()
    string(JSON command GET "${json}" ${index} command)
    if(NOT command MATCHES " -o (([^ ]*/)?CMakeFiles/([^/ ]+)\\.dir/[^ ]*)")
        message(FATAL_ERROR "${database}: no object file in the command of ${file}.")
    endif()
    set(object ${CMAKE_MATCH_1})
    set(target ${CMAKE_MATCH_3})
    list(APPEND sources ${file})
    list(APPEND folders ${folder})
    if(NOT target IN_LIST targets)
        list(APPEND targets ${target})
        string(JSON entry_${target} GET "${json}" ${index})
        set(file_${target} ${file})
        set(object_${target} ${object})
    endif()
    list(APPEND sources_${target} ${file})
endforeach()
if(NOT sources)
    message(FATAL_ERROR "${database} lists no sources of ${SOURCE_DIR}.")
endif()
list(REMOVE_DUPLICATES folders)

# Headers are reached through the build's include folders (links to the
# sources) or, for private *_p.h, in the source folders themselves. The
# sources match too: they are checked as includes of their target's group.
list(JOIN folders "|" folders)
set(header_filter "^(${binary_re}/include/|${source_re}/(${folders})/)")

# Parsing Qt's headers is most of a file's check, so each target's sources
# are checked as one translation unit that includes them all, with the
# target's compile command: a fifth of the time of file by file. The groups
# and their database live in BINARY_DIR/tidy/, with a copy of .clang-tidy, as
# clang-tidy looks for it beside the file it checks.
set(group_dir ${BINARY_DIR}/tidy)
file(REMOVE_RECURSE ${group_dir})
file(MAKE_DIRECTORY ${group_dir})
file(COPY ${SOURCE_DIR}/.clang-tidy DESTINATION ${group_dir})
set(group_database "[]")
set(group_index 0)
foreach(target IN LISTS targets)
    set(group ${group_dir}/${target}.cpp)
    set(text "")
    foreach(file IN LISTS sources_${target})
        string(APPEND text "#include \"${file}\" // NOLINT(bugprone-suspicious-include)\n")
    endforeach()
    file(WRITE ${group} "${text}")
    string(REPLACE "${file_${target}}" "${group}" entry "${entry_${target}}")
    string(REPLACE "${object_${target}}" "${group}.o" entry "${entry}")
    string(JSON group_database SET "${group_database}" ${group_index} "${entry}")
    math(EXPR group_index "${group_index} + 1")
endforeach()
file(WRITE ${group_dir}/compile_commands.json "${group_database}")

list(LENGTH sources count)
list(LENGTH targets group_count)
message(STATUS "clang-tidy on ${count} files in ${group_count} groups, ${JOBS} at a time")
# -Wno-error: the compile commands carry -Werror in CI, and a compiler
# warning that clang knows and GCC does not is no finding of ours; the
# warnings themselves stay GCC's to report.
_escape_regex(group_re ${group_dir})
execute_process(
    COMMAND ${RUN_CLANG_TIDY} -quiet -p ${group_dir} -j ${JOBS}
            -header-filter=${header_filter} -extra-arg=-Wno-error "^${group_re}/"
    WORKING_DIRECTORY ${BINARY_DIR}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
# A group that does not parse (two sources of a target that use the same
# name in their anonymous namespaces) says nothing of the files: then every
# file is checked by itself, which always works, only slower.
if(NOT result EQUAL 0)
    message(STATUS "A target's sources do not compile as one; checking file by file.")
    set(file_res)
    foreach(file IN LISTS sources)
        _escape_regex(file_re ${file})
        list(APPEND file_res "^${file_re}$")
    endforeach()
    execute_process(
        COMMAND ${RUN_CLANG_TIDY} -quiet -p ${BINARY_DIR} -j ${JOBS}
                -header-filter=${header_filter} -extra-arg=-Wno-error ${file_res}
        WORKING_DIRECTORY ${BINARY_DIR}
        RESULT_VARIABLE result
        OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
endif()
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
