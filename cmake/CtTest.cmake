# ct_add_test(<name> SOURCES <files...> [LABELS <labels...>] [TIMEOUT <s>]
#             [QTTEST] [GUI] [QT] [LIBS <targets...>])
# One test executable linked against the core library, registered with CTest
# with its labels and time-out. GUI tests run on the offscreen platform with a
# private runtime directory; QTTEST tests use QtTest instead of GoogleTest;
# QT tests (and QTTEST and GUI ones) run a Qt event loop and link its pump.
find_package(GTest REQUIRED)

function(ct_add_test name)
    cmake_parse_arguments(T "QTTEST;GUI;QT" "TIMEOUT" "SOURCES;LABELS;LIBS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ct_core ${T_LIBS})
    if(T_QTTEST OR T_GUI OR T_QT)
        target_link_libraries(${name} PRIVATE ct_qt_pump)
    endif()
    if(T_QTTEST)
        target_link_libraries(${name} PRIVATE Qt6::Test)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set(env "XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime")
    if(T_GUI)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
        list(APPEND T_LABELS gui)
    endif()
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xdg-runtime)
    file(CHMOD ${CMAKE_BINARY_DIR}/xdg-runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    set_tests_properties(${name} PROPERTIES
        LABELS "${T_LABELS}"
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "${env}")
endfunction()
