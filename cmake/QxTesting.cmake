# GoogleTest comes from Debian's source package, so one source serves both the host and the
# Windows build.
set(QX_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree")

macro(qx_enable_gtest)
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    add_subdirectory(${QX_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    # Its warnings are not ours to fix.
    foreach(target gtest gtest_main gmock gmock_main)
      target_compile_options(${target} PRIVATE -Wno-error)
    endforeach()
  endif()
endmacro()

# qx_add_gtest(NAME name SOURCES ... [LIBS ...] [TIMEOUT s] [LABELS ...] [RUN_SERIAL])
# One CTest test per executable; under the Windows build it runs through the Wine wrapper.
# Each test runs in a scratch folder of its own, so files it writes never meet another test's.
function(qx_add_gtest)
  cmake_parse_arguments(T "RUN_SERIAL" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.work)
  file(MAKE_DIRECTORY ${work})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1 WORKING_DIRECTORY ${work})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_RUN_SERIAL)
    set_tests_properties(${T_NAME} PROPERTIES RUN_SERIAL ON)
  endif()
endfunction()

# qx_use_mqtt_broker(TEST): TEST runs with Debian's mosquitto broker on 127.0.0.1, started before
# it on a free port with a password file and stopped after it (one broker for all such tests of a
# run); QX_MQTT_BROKER names the folder that says where it is (tests/support/mqtt_broker.h).
function(qx_use_mqtt_broker test)
  set(folder ${CMAKE_BINARY_DIR}/mqtt_broker)
  # Once for the whole build: `if(TEST)` sees only the current directory's tests, and a second
  # pair of these would start a second broker over the first one's folder.
  get_property(made GLOBAL PROPERTY qx_mqtt_broker_made)
  if(NOT made)
    set_property(GLOBAL PROPERTY qx_mqtt_broker_made TRUE)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    set(script ${CMAKE_SOURCE_DIR}/tests/support/mqtt_broker.py)
    add_test(NAME mqtt_broker_start COMMAND ${Python3_EXECUTABLE} ${script} start ${folder})
    add_test(NAME mqtt_broker_stop COMMAND ${Python3_EXECUTABLE} ${script} stop ${folder})
    set_tests_properties(mqtt_broker_start PROPERTIES FIXTURES_SETUP mqtt_broker TIMEOUT 30)
    set_tests_properties(mqtt_broker_stop PROPERTIES FIXTURES_CLEANUP mqtt_broker TIMEOUT 30)
  endif()
  set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED mqtt_broker)
  # Appended: a test of the real program also carries the virtual SwitchUnit's DLL overrides.
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT QX_MQTT_BROKER=${folder})
endfunction()
