# What ships to users, and how it is built so that two builds of one commit, in any two folders,
# give the same bytes: no folder of the build in the binaries, no time of the link in their
# headers. A program that ships calls qx_ship(<target>); scripts/package builds the custom target
# shipped_files and takes the version and the files from shipped_files.txt in the build folder.
# A library whose licence wants its notice in binary distributions names a file with the notice in
# its QX_NOTICE property; the notices of every library a shipped program links, directly or
# through other libraries, go into the zip's THIRD-PARTY-NOTICES.txt.

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

# Sets ${out} to the QX_NOTICE files of `target` and of every library it links, each once.
function(qx_shipped_notices target out)
  set(pending ${target})
  set(seen)
  set(notices)
  while(pending)
    list(POP_FRONT pending item)
    # A static library's private dependencies appear as $<LINK_ONLY:name> in its interface.
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.+)>$" "\\1" item "${item}")
    if(NOT TARGET "${item}" OR item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${item}")
    get_target_property(notice "${item}" QX_NOTICE)
    if(notice)
      list(APPEND notices "${notice}")
    endif()
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(linked "${item}" ${property})
      if(linked)
        list(APPEND pending ${linked})
      endif()
    endforeach()
  endwhile()
  list(REMOVE_DUPLICATES notices)
  set(${out} "${notices}" PARENT_SCOPE)
endfunction()

# Called once every target exists: the target that builds everything shipped, and the list of it.
function(qx_list_shipped_files)
  get_property(targets GLOBAL PROPERTY QX_SHIPPED_TARGETS)
  add_custom_target(shipped_files)
  set(content "version ${PROJECT_VERSION}\n")
  set(all_notices)
  foreach(target IN LISTS targets)
    add_dependencies(shipped_files ${target})
    string(APPEND content "file $<TARGET_FILE:${target}>\n")
    qx_shipped_notices(${target} notices)
    list(APPEND all_notices ${notices})
  endforeach()
  list(REMOVE_DUPLICATES all_notices)
  foreach(notice IN LISTS all_notices)
    string(APPEND content "notice ${notice}\n")
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/shipped_files.txt CONTENT "${content}")
endfunction()
