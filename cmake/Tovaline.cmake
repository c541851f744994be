# Helpers shared by the project's CMake files.

# tovaline_test(NAME SOURCES... [LIBS libs...] [LABELS labels...] [TIMEOUT s] [DATA_SERVER])
# A GoogleTest program, registered with CTest as one test. Under the cross-build CTest runs it
# through CMAKE_CROSSCOMPILING_EMULATOR, that is under Wine. DATA_SERVER: the test starts a data
# server of its own; a client finds any server on the desktop by its class, so such tests never
# run side by side.
function(tovaline_test name)
    cmake_parse_arguments(T "DATA_SERVER" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
    target_include_directories(${name} PRIVATE "${CMAKE_SOURCE_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
    if(T_DATA_SERVER)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK data_server)
    endif()
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
