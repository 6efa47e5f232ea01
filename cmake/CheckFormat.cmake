# Fails when a C or C++ source of the project differs from what clang-format
# makes of it, or when there is no clang-format to ask. Run by CTest as the
# test "format".
if(NOT CLANG_FORMAT OR NOT EXISTS "${CLANG_FORMAT}")
    # Installed since the build was configured, perhaps.
    find_program(found_clang_format NAMES clang-format)
    set(CLANG_FORMAT ${found_clang_format})
endif()
if(NOT CLANG_FORMAT)
    message(FATAL_ERROR "clang-format is not installed, so the formatting cannot be checked: "
                        "install it (packages.txt lists it).")
endif()
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
    ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
    ${SOURCE_DIR}/convert/*.cpp ${SOURCE_DIR}/convert/*.h
    ${SOURCE_DIR}/pipeline/*.cpp ${SOURCE_DIR}/pipeline/*.h
    ${SOURCE_DIR}/libs/*.cpp ${SOURCE_DIR}/libs/*.h ${SOURCE_DIR}/libs/*.c
    ${SOURCE_DIR}/tools/*.cpp ${SOURCE_DIR}/tools/*.h
    ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.c)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
    WORKING_DIRECTORY ${SOURCE_DIR}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Some files are not formatted: run clang-format -i on them.")
endif()
