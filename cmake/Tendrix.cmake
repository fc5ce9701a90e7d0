# Helpers shared by every folder.

# Environment every test runs with: sanitizer options, offscreen Qt, the source tree.
set(TENDRIX_TEST_ENV
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_odr_violation=0"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "QT_QPA_PLATFORM=offscreen"
    "TENDRIX_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    "TENDRIX_BIN_DIR=${TENDRIX_BIN_DIR}")

# tendrix_gtest(NAME SOURCES files... LIBS libs... [LABELS l...] [TIMEOUT s] [SERIAL] [ENV k=v...])
# Builds one GoogleTest executable and registers each of its cases with CTest.
function(tendrix_gtest name)
    cmake_parse_arguments(T "SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    # The environment goes through `env` as the test launcher: it then applies to discovery
    # and to every case alike.
    set_target_properties(${name} PROPERTIES
        CROSSCOMPILING_EMULATOR "/usr/bin/env;${TENDRIX_TEST_ENV};${T_ENV}")
    set(props TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
    if(T_SERIAL)
        list(APPEND props RUN_SERIAL TRUE)
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests PROPERTIES ${props})
endfunction()

# Copies the skin, voice prompts and the private font into the program directory.
function(tendrix_stage_runtime_files)
    add_custom_target(runtime_files ALL
        COMMAND ${CMAKE_COMMAND} -E make_directory ${TENDRIX_BIN_DIR}/UIskin ${TENDRIX_BIN_DIR}/Voice ${TENDRIX_BIN_DIR}/Font
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/UIskin ${TENDRIX_BIN_DIR}/UIskin
        COMMENT "Staging UIskin, Voice and Font")
    add_custom_command(TARGET runtime_files POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/Voice ${TENDRIX_BIN_DIR}/Voice)
    # The private font comes from Debian's fonts-wqy-microhei under the name the program loads.
    set(font_src /usr/share/fonts/truetype/wqy/wqy-microhei.ttc)
    if(EXISTS ${font_src})
        add_custom_command(TARGET runtime_files POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${font_src} "${TENDRIX_BIN_DIR}/Font/文泉驿微米黑.ttf")
    else()
        message(WARNING "fonts-wqy-microhei missing: the program runs with the system fonts")
    endif()
endfunction()
