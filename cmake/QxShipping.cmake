# What ships to users, and how it is built so that two builds of one commit, in any two folders,
# give the same bytes: no folder of the build in the binaries, no time of the link in their
# headers. A program that ships calls qx_ship(<target>); scripts/package builds the custom target
# shipped_files and takes the version and the files from shipped_files.txt in the build folder.

if(CMAKE_CROSSCOMPILING)
  # __FILE__ and anything else the compiler records of where it ran names the source tree as "."
  # and the build tree as "build". The build tree comes last: it may lie inside the source tree,
  # and the compiler tries the last mapping given first.
  add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>")
endif()

function(qx_ship target)
  set_property(GLOBAL APPEND PROPERTY QX_SHIPPED_TARGETS ${target})
  # The linker would put the time of the link into the PE header.
  target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
endfunction()

# Called once every target exists: the target that builds everything shipped, and the list of it.
function(qx_list_shipped_files)
  get_property(targets GLOBAL PROPERTY QX_SHIPPED_TARGETS)
  add_custom_target(shipped_files)
  set(content "version ${PROJECT_VERSION}\n")
  foreach(target IN LISTS targets)
    add_dependencies(shipped_files ${target})
    string(APPEND content "file $<TARGET_FILE:${target}>\n")
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/shipped_files.txt CONTENT "${content}")
endfunction()
