# Fails when a C or C++ source of the project differs from what clang-format
# makes of it, or when there is no clang-format to ask. Run by CTest as the
# test "format" with SOURCE_DIR set.
#
# The files are the ones git tracks, so that a new folder is checked without
# anybody remembering to list it. Outside a git checkout (an unpacked source
# archive) every source below SOURCE_DIR is checked, except build trees.
cmake_minimum_required(VERSION 3.25)

if(NOT CLANG_FORMAT OR NOT EXISTS "${CLANG_FORMAT}")
    # Installed since the build was configured, perhaps.
    find_program(found_clang_format NAMES clang-format)
    set(CLANG_FORMAT ${found_clang_format})
endif()
if(NOT CLANG_FORMAT)
    message(FATAL_ERROR "clang-format is not installed, so the formatting cannot be checked: "
                        "install it (packages.txt lists it).")
endif()

set(sources)
find_program(GIT NAMES git)
if(GIT)
    execute_process(COMMAND ${GIT} -c core.quotePath=off ls-files -- *.cpp *.h *.c
        WORKING_DIRECTORY ${SOURCE_DIR}
        RESULT_VARIABLE git_result
        OUTPUT_VARIABLE git_files
        ERROR_QUIET)
endif()
if(GIT AND git_result EQUAL 0)
    string(REPLACE "\n" ";" git_files "${git_files}")
    foreach(file IN LISTS git_files)
        # Deleted but not yet committed: nothing to check.
        if(file AND EXISTS ${SOURCE_DIR}/${file})
            list(APPEND sources ${file})
        endif()
    endforeach()
else()
    file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
        ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.c)
    # A build tree holds generated sources; any folder with a CMakeCache.txt
    # is one, wherever it was put.
    file(GLOB_RECURSE caches RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/CMakeCache.txt)
    foreach(cache IN LISTS caches)
        get_filename_component(tree ${cache} DIRECTORY)
        string(REGEX REPLACE "([][+.*()^$?|\\\\])" "\\\\\\1" tree "${tree}")
        list(FILTER sources EXCLUDE REGEX "^${tree}/")
    endforeach()
    list(FILTER sources EXCLUDE REGEX "(^|/)\\.")
endif()
if(NOT sources)
    message(FATAL_ERROR "Found no sources to check below ${SOURCE_DIR}.")
endif()

execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
    WORKING_DIRECTORY ${SOURCE_DIR}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Some files are not formatted: run clang-format -i on them.")
endif()
list(LENGTH sources count)
message(STATUS "${count} files are formatted.")
