# kestrum_add_test(NAME SOURCES ... LIBS ... [SIM] [WIDGETS] [PROPERTIES ...])
#   SIM:     the test talks to the simulated programmer through the program's run-time libusb binding;
#            the simulator's folder is put first on the loader path.
#   WIDGETS: the test creates widgets; it runs on Qt's offscreen platform.
#   PROPERTIES: test properties of every discovered test (e.g. FIXTURES_REQUIRED).
function(kestrum_add_test name)
    cmake_parse_arguments(T "SIM;WIDGETS" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} test_support GTest::gtest GTest::gmock)
    set(env "QT_QPA_PLATFORM=offscreen" "KESTRUM_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data"
            "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1" "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    if(T_SIM)
        add_dependencies(${name} usbsim)
        list(APPEND env "LD_LIBRARY_PATH=${KESTRUM_SIM_DIR}")
    endif()
    # The variables go in through `cmake -E env` as the test launcher: gtest_discover_tests splits
    # a list-valued ENVIRONMENT property, so only its first variable would arrive. The launcher
    # also runs the test discovery, so a SIM test lists its tests with the simulator in place.
    set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${env})
    if(T_PROPERTIES)
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST PROPERTIES ${T_PROPERTIES})
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST)
    endif()
endfunction()
