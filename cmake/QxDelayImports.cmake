# Windows DLLs a program needs only for a feature the user may never switch on are bound at the
# first call of one of their functions, not when the program starts. MQTT's Winsock and data
# protection API are the case: with MQTT off, which is the default, the program's start loads
# neither.
#
# qx_delay_import(<target> DLL <name.dll> LIBRARY <ordinary import library> FUNCTIONS <name>...)
#   makes <target>, an import library for the functions named, bound through the C runtime's
#   delay-load helper. The ordinary import library follows it on the link line for what the DLL's
#   import library gives besides functions (Winsock's in6addr_loopback, for one). A function used
#   but not named here is imported at start as before: qx_check_start_imports catches that.
function(qx_delay_import target)
  cmake_parse_arguments(D "" "DLL;LIBRARY" "FUNCTIONS" ${ARGN})
  set(def "${CMAKE_CURRENT_BINARY_DIR}/${target}.def")
  set(lib "${CMAKE_CURRENT_BINARY_DIR}/lib${target}.a")
  list(JOIN D_FUNCTIONS "\n" exports)
  file(CONFIGURE OUTPUT "${def}" CONTENT "LIBRARY ${D_DLL}\nEXPORTS\n${exports}\n")
  # dlltool names its temporary objects after this prefix; a fixed one keeps the library's bytes
  # the same from build to build.
  add_custom_command(OUTPUT "${lib}"
    COMMAND "${CMAKE_DLLTOOL}" --input-def "${def}" --dllname "${D_DLL}" --temp-prefix "${target}"
            --output-delaylib "${lib}"
    DEPENDS "${def}" WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" VERBATIM)
  add_custom_target(${target}_build DEPENDS "${lib}")
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION "${lib}")
  target_link_libraries(${target} INTERFACE delayimp ${D_LIBRARY})
  add_dependencies(${target} ${target}_build)
endfunction()

# qx_check_start_imports(<program target> FORBID <name.dll>...): a test that fails when the
# program's import table, the DLLs Windows loads as it starts the program, names one of these.
function(qx_check_start_imports target)
  cmake_parse_arguments(C "" "" "FORBID" ${ARGN})
  find_program(QX_OBJDUMP NAMES ${QX_MINGW_TRIPLE}-objdump REQUIRED)
  add_test(NAME ${target}_start_imports
    COMMAND "${CMAKE_COMMAND}" "-DOBJDUMP=${QX_OBJDUMP}" "-DPROGRAM=$<TARGET_FILE:${target}>" "-DFORBID=${C_FORBID}"
            -P "${PROJECT_SOURCE_DIR}/cmake/check_start_imports.cmake")
endfunction()
