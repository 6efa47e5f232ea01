# One call per target: sondrel_add_library, sondrel_add_plugin_library,
# sondrel_add_executable and sondrel_add_test.
#
# Which headers a target may include is decided here. No target sees the
# source tree as a whole: each one exposes the headers listed in its own
# SOURCES, under their source paths ("pipeline/cdinput.h"), from a folder of
# its own in the build tree (build/include/<target>/), and sees besides only
# what the targets it links expose. A library passes its headers on to whoever
# links it; so the folders depend on each other the one way the links run,
#
#     libs <- pipeline <- convert, lookup, player <- job <- app
#
# and an include against that way (pipeline including "app/...") fails to
# compile with "No such file or directory". Headers named *_p.h stay private
# to their folder: its sources include them by their plain name.
#
# A new folder (job/, player/, lookup/) plugs in with one call in its own
# CMakeLists.txt, an add_subdirectory() in the top-level one after the
# folders it builds on, and its links:
#
#     sondrel_add_library(sondrel_job
#         SOURCES ripjob.cpp ripjob.h trackinfo.h
#         PUBLIC_DEPENDS Qt6::Core sondrel_pipeline sondrel_convert sondrel_player)
#
# Its window code goes into job/ui/ as a second target that links the first
# and Qt6::Widgets; a logic target never links a ui target. A library of
# libs/ loaded at run time is a sondrel_add_plugin_library() whose C header
# is named by API: that header alone becomes the target <name>_api, which the
# binding in pipeline/ links PRIVATE, so that the C types stay out of every
# public header of pipeline/.

set(SONDREL_WARNINGS -Wall -Wextra -Wshadow -Wold-style-cast)
if(SONDREL_WERROR)
    list(APPEND SONDREL_WARNINGS -Werror)
endif()

function(_sondrel_common target)
    target_compile_options(${target} PRIVATE ${SONDREL_WARNINGS})
    target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
endfunction()

# Makes build/include/<target>/ hold a link to each public header among
# `sources` (paths relative to the calling folder) under its source path, and
# adds that folder to the target's include path with the given visibility.
function(_sondrel_expose_headers target visibility)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    # A header dropped from the list must not stay includable.
    file(REMOVE_RECURSE ${root})
    set(headers ${ARGN})
    list(FILTER headers INCLUDE REGEX "\\.h$")
    list(FILTER headers EXCLUDE REGEX "_p\\.h$")
    if(NOT headers)
        return()
    endif()
    foreach(header IN LISTS headers)
        get_filename_component(path ${header} ABSOLUTE)
        file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${path})
        get_filename_component(folder ${root}/${relative} DIRECTORY)
        file(MAKE_DIRECTORY ${folder})
        file(CREATE_LINK ${path} ${root}/${relative} SYMBOLIC)
    endforeach()
    target_include_directories(${target} ${visibility} ${root})
endfunction()

# A static library of the program, linked by the executable and the tests.
function(sondrel_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;PUBLIC_DEPENDS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    _sondrel_expose_headers(${name} PUBLIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPENDS} PRIVATE ${ARG_DEPENDS})
    _sondrel_common(${name})
endfunction()

# One of our own shared libraries with a C interface, loaded at run time by
# plain name (never linked by the program). API names its C header, which
# the target <name>_api exposes to the binding that loads the library.
# TEST_ONLY keeps a misbehaving build of a library (tests/fakes) out of the
# installed program.
function(sondrel_add_plugin_library name)
    cmake_parse_arguments(ARG "TEST_ONLY" "OUTPUT_NAME;API" "SOURCES;DEPENDS" ${ARGN})
    add_library(${name} SHARED ${ARG_SOURCES})
    _sondrel_expose_headers(${name} PRIVATE ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS})
    set_target_properties(${name} PROPERTIES
        C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    if(ARG_OUTPUT_NAME)
        set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
    endif()
    if(NOT ARG_TEST_ONLY)
        # Installed beside its siblings, which it may load by plain name too.
        set_target_properties(${name} PROPERTIES INSTALL_RPATH $ORIGIN)
        install(TARGETS ${name} LIBRARY DESTINATION ${SONDREL_INSTALL_LIBDIR})
    endif()
    if(ARG_API)
        add_library(${name}_api INTERFACE)
        _sondrel_expose_headers(${name}_api INTERFACE ${ARG_API})
    endif()
    _sondrel_common(${name})
endfunction()

function(sondrel_add_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    _sondrel_expose_headers(${name} PRIVATE ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS})
    _sondrel_common(${name})
endfunction()

# The test suites are compiled for a quick build: they drive code of the
# program that is built as it ships, so their own code needs no more than
# -Og, and line tables are what a failure's backtrace needs. The sanitizer
# build keeps its own flags for every file.
function(_sondrel_test_flags target)
    _sondrel_common(${target})
    if(NOT SONDREL_SANITIZE)
        target_compile_options(${target} PRIVATE "$<$<CONFIG:RelWithDebInfo>:-Og;-g1>")
    endif()
endfunction()

# Every suite includes Qt's module headers (<QtTest> brings all of QtCore),
# and parsing them was most of a suite's build: the suites share one
# precompiled header, of QtCore or of QtWidgets after the Qt the suite links.
# Qt Test stays out of it, as its headers depend on the suite's own folders.
function(_sondrel_test_pch name qt)
    add_library(${name} OBJECT ${CMAKE_SOURCE_DIR}/tests/support/precompiled.cpp)
    target_link_libraries(${name} PRIVATE Qt6::${qt})
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_precompile_headers(${name} PRIVATE
        <Qt${qt}/Qt${qt}> <algorithm> <cmath> <cstring> <functional> <memory> <optional> <vector>)
    _sondrel_test_flags(${name})
endfunction()

# Whether `target` compiles against Qt Widgets, through any library it links.
function(_sondrel_uses_widgets out)
    set(pending ${ARGN})
    set(seen)
    while(pending)
        list(POP_FRONT pending item)
        if(item STREQUAL "Qt6::Widgets")
            set(${out} TRUE PARENT_SCOPE)
            return()
        endif()
        if(item IN_LIST seen OR NOT TARGET ${item} OR item MATCHES "^Qt6::")
            continue()
        endif()
        list(APPEND seen ${item})
        get_target_property(links ${item} INTERFACE_LINK_LIBRARIES)
        if(links)
            list(APPEND pending ${links})
        endif()
    endwhile()
    set(${out} FALSE PARENT_SCOPE)
endfunction()

# tests/<folder>/tst_<unit>.cpp becomes the executable tst_<unit>, registered
# with CTest and run headless. SIMDRIVE runs it with the simulated CD drive
# preloaded (tests/simdrive/README.md).
function(sondrel_add_test name)
    cmake_parse_arguments(ARG "SIMDRIVE" "TIMEOUT" "SOURCES;DEPENDS;ENVIRONMENT" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    _sondrel_expose_headers(${name} PRIVATE ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test sondrel_testsupport ${ARG_DEPENDS})
    _sondrel_test_flags(${name})
    _sondrel_uses_widgets(widgets sondrel_testsupport ${ARG_DEPENDS})
    if(widgets)
        if(NOT TARGET sondrel_test_pch_widgets)
            _sondrel_test_pch(sondrel_test_pch_widgets Widgets)
        endif()
        target_precompile_headers(${name} REUSE_FROM sondrel_test_pch_widgets)
    else()
        if(NOT TARGET sondrel_test_pch_core)
            _sondrel_test_pch(sondrel_test_pch_core Core)
        endif()
        target_precompile_headers(${name} REUSE_FROM sondrel_test_pch_core)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    if(SONDREL_SANITIZE)
        # Instrumented code runs two to three times slower.
        math(EXPR ARG_TIMEOUT "${ARG_TIMEOUT} * 3")
        list(APPEND ARG_ENVIRONMENT ${SONDREL_SANITIZER_ENVIRONMENT})
    endif()
    if(ARG_SIMDRIVE)
        add_dependencies(${name} sondrel_simdrive)
        list(APPEND ARG_ENVIRONMENT "LD_PRELOAD=${SONDREL_SIMDRIVE_PRELOAD}")
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SONDREL_LIB_DIR=${CMAKE_BINARY_DIR}/lib;SONDREL_BIN_DIR=${CMAKE_BINARY_DIR}/bin;${ARG_ENVIRONMENT}")
endfunction()

# The simulated drive is preloaded before the test's own libraries. A
# sanitizer build's shared runtime (GCC's) must come first of all, or it
# refuses to start; a compiler that links it statically names no file.
set(SONDREL_SIMDRIVE_PRELOAD "$<TARGET_FILE:sondrel_simdrive>")
if(SONDREL_SANITIZE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
        OUTPUT_VARIABLE SONDREL_ASAN_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${SONDREL_ASAN_RUNTIME}" AND EXISTS "${SONDREL_ASAN_RUNTIME}")
        set(SONDREL_SIMDRIVE_PRELOAD "${SONDREL_ASAN_RUNTIME}:${SONDREL_SIMDRIVE_PRELOAD}")
    endif()
endif()

# How the tests of a sanitizer build run: a leak fails the test, and so does
# any finding of UBSan. Nothing is suppressed.
set(SONDREL_SANITIZER_ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
