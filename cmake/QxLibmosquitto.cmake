# libmosquitto, the MQTT client library, from Debian's source package `mosquitto`: fetched with
# `apt-get source` through the machine's configured Debian sources (scripts/setup-machine adds the
# deb-src entry), checked against the SHA-256 sums below, unpacked with Debian's patches applied
# (`dpkg-source -x`) under the build tree, and built here as a static library: no TLS (Debian has
# no MinGW build of OpenSSL), no threads of its own (the program drives it from one thread of its
# own), no SOCKS proxy.
#
# Everything lives in <build>/_deps/mosquitto: download/ keeps the fetched files, so a configure
# of a build tree that has them fetches nothing, and source/ is the unpacked tree, made again
# only when its stamp names another version. The notice the release zip must carry for a program
# that links the library is written beside them and named by the target's QX_NOTICE property.

set(QX_MOSQUITTO_VERSION "2.0.11-1.2+deb12u2")
set(QX_MOSQUITTO_UPSTREAM_VERSION "2.0.11")
# name;sha256 of the .dsc and of every file it lists.
set(QX_MOSQUITTO_FILES
    "mosquitto_${QX_MOSQUITTO_VERSION}.dsc"
    "77afb2d38230b37b085ff7b363a71669951044460e28731e958c0b94019e9263"
    "mosquitto_${QX_MOSQUITTO_UPSTREAM_VERSION}.orig.tar.gz"
    "7b36a7198bce85cf31b132f5c6ee36dcf5dadf86fb768501eb1e11ce95d4f78a"
    "mosquitto_${QX_MOSQUITTO_VERSION}.debian.tar.xz"
    "e7a5c96b064b266ec7708591f110f8cce69430d0725b08a508ec8d515983767d")

# Sets ${out} to the names in `download` that are missing or whose sum is not the pinned one.
function(qx_mosquitto_bad_files download out)
  set(bad)
  set(pins ${QX_MOSQUITTO_FILES})
  while(pins)
    list(POP_FRONT pins name sum)
    if(NOT EXISTS "${download}/${name}")
      list(APPEND bad "${name} (missing)")
      continue()
    endif()
    file(SHA256 "${download}/${name}" actual)
    if(NOT actual STREQUAL sum)
      list(APPEND bad "${name} (SHA-256 ${actual}, pinned ${sum})")
    endif()
  endwhile()
  set(${out} "${bad}" PARENT_SCOPE)
endfunction()

# The .dsc must list exactly the pinned tarballs, each with its pinned sum: a file it lists that
# is not pinned would be unpacked unchecked.
function(qx_mosquitto_check_dsc dsc)
  file(STRINGS "${dsc}" lines)
  set(in_sums OFF)
  set(listed)
  foreach(line IN LISTS lines)
    if(line MATCHES "^Checksums-Sha256:")
      set(in_sums ON)
    elseif(in_sums AND line MATCHES "^ ([0-9a-f]+) [0-9]+ (.+)$")
      list(APPEND listed "${CMAKE_MATCH_2}" "${CMAKE_MATCH_1}")
    elseif(in_sums)
      set(in_sums OFF)
    endif()
  endforeach()
  set(pinned ${QX_MOSQUITTO_FILES})
  list(REMOVE_AT pinned 0 1)
  if(NOT listed STREQUAL pinned)
    message(FATAL_ERROR
      "mosquitto ${QX_MOSQUITTO_VERSION}: the .dsc lists '${listed}', not the pinned tarballs")
  endif()
endfunction()

function(qx_fetch_mosquitto root out_source)
  set(download "${root}/download")
  set(source "${root}/source")
  set(stamp "${source}/.qx-unpacked")
  set(${out_source} "${source}" PARENT_SCOPE)
  if(EXISTS "${stamp}")
    file(READ "${stamp}" unpacked)
    if(unpacked STREQUAL QX_MOSQUITTO_VERSION)
      return()
    endif()
  endif()

  qx_mosquitto_bad_files("${download}" bad)
  if(bad)
    message(STATUS "Fetching Debian source package mosquitto ${QX_MOSQUITTO_VERSION}")
    file(REMOVE_RECURSE "${download}")
    file(MAKE_DIRECTORY "${download}")
    find_program(QX_APT_GET apt-get)
    if(NOT QX_APT_GET)
      message(FATAL_ERROR "mosquitto ${QX_MOSQUITTO_VERSION}: apt-get not found (a Debian machine "
                          "set up by scripts/setup-machine is needed)")
    endif()
    execute_process(
      COMMAND "${QX_APT_GET}" source --download-only "mosquitto=${QX_MOSQUITTO_VERSION}"
      WORKING_DIRECTORY "${download}"
      RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR
        "mosquitto ${QX_MOSQUITTO_VERSION}: apt-get source could not fetch this version of the "
        "source package (no deb-src entry? run scripts/setup-machine; or the Debian sources no "
        "longer serve it):\n${output}")
    endif()
    qx_mosquitto_bad_files("${download}" bad)
    if(bad)
      list(JOIN bad "\n  " bad)
      message(FATAL_ERROR
        "mosquitto ${QX_MOSQUITTO_VERSION}: the fetched files are not the pinned ones:\n  ${bad}")
    endif()
  endif()
  list(GET QX_MOSQUITTO_FILES 0 dsc)
  qx_mosquitto_check_dsc("${download}/${dsc}")

  find_program(QX_DPKG_SOURCE dpkg-source)
  if(NOT QX_DPKG_SOURCE)
    message(FATAL_ERROR "mosquitto ${QX_MOSQUITTO_VERSION}: dpkg-source not found (Debian's "
                        "dpkg-dev; run scripts/setup-machine)")
  endif()
  file(REMOVE_RECURSE "${source}")
  execute_process(
    COMMAND "${QX_DPKG_SOURCE}" --no-copy -x "${download}/${dsc}" "${source}"
    WORKING_DIRECTORY "${root}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "mosquitto ${QX_MOSQUITTO_VERSION}: dpkg-source -x failed:\n${output}")
  endif()
  file(WRITE "${stamp}" "${QX_MOSQUITTO_VERSION}")
endfunction()

# The notice: what the library is, its copyright line from Debian's copyright file, and the
# Eclipse Distribution License it is used under (the package is dual licensed, EPL-2.0 or
# EDL-1.0), in the source's own words.
function(qx_write_mosquitto_notice source notice)
  file(STRINGS "${source}/debian/copyright" lines)
  set(copyright)
  foreach(line IN LISTS lines)
    if(line MATCHES "^Copyright: (.+)$")
      set(copyright "${CMAKE_MATCH_1}")
      break()
    endif()
  endforeach()
  if(NOT copyright)
    message(FATAL_ERROR "mosquitto ${QX_MOSQUITTO_VERSION}: no Copyright line in debian/copyright")
  endif()
  file(READ "${source}/edl-v10" licence)
  string(STRIP "${licence}" licence)
  file(WRITE "${notice}.part"
    "libmosquitto ${QX_MOSQUITTO_UPSTREAM_VERSION}, the Eclipse Mosquitto MQTT client library\n"
    "(from Debian's source package mosquitto ${QX_MOSQUITTO_VERSION}), used under the\n"
    "Eclipse Distribution License 1.0.\n"
    "\n"
    "Copyright (c) ${copyright}\n"
    "\n"
    "${licence}\n")
  file(COPY_FILE "${notice}.part" "${notice}" ONLY_IF_DIFFERENT)
  file(REMOVE "${notice}.part")
endfunction()

set(_qx_mosquitto_root "${CMAKE_BINARY_DIR}/_deps/mosquitto")
qx_fetch_mosquitto("${_qx_mosquitto_root}" _qx_mosquitto_source)
qx_write_mosquitto_notice("${_qx_mosquitto_source}" "${_qx_mosquitto_root}/NOTICE.txt")

file(GLOB _qx_mosquitto_sources "${_qx_mosquitto_source}/lib/*.c")
add_library(libmosquitto STATIC ${_qx_mosquitto_sources})
set_target_properties(libmosquitto PROPERTIES
  OUTPUT_NAME mosquitto
  C_STANDARD 99
  C_EXTENSIONS ON
  QX_NOTICE "${_qx_mosquitto_root}/NOTICE.txt")
# WITH_TLS, WITH_THREADING, WITH_SOCKS and WITH_SRV stay undefined: off.
# __USE_MINGW_ANSI_STDIO=0: its log lines go through the system's vsnprintf rather than mingw's
# own printf, which would bring some 17 KB of number formatting into the exe for logging nobody reads.
target_compile_definitions(libmosquitto
  PRIVATE CMAKE "VERSION=\"${QX_MOSQUITTO_UPSTREAM_VERSION}\"" WIN32 __USE_MINGW_ANSI_STDIO=0
  PUBLIC LIBMOSQUITTO_STATIC)
target_include_directories(libmosquitto PRIVATE
  "${_qx_mosquitto_source}" "${_qx_mosquitto_source}/lib" "${_qx_mosquitto_source}/deps"
  "${_qx_mosquitto_source}/include")
target_include_directories(libmosquitto SYSTEM INTERFACE "${_qx_mosquitto_source}/include")
# Its warnings are not ours to fix; the one that matters to a caller is that mosquitto_socket()
# returns a SOCKET as int on Win64 (INVALID_SOCKET as -1). Its random bytes come from wincrypt.h,
# which the program's WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
target_compile_options(libmosquitto PRIVATE -w -UWIN32_LEAN_AND_MEAN)
# Winsock is loaded once MQTT is first switched on, not at every start. The functions the library
# and the bridge's thread (mqtt/mqtt_bridge_win32.cpp) call:
qx_delay_import(ws2_32_delayed DLL WS2_32.dll LIBRARY ws2_32 FUNCTIONS
  WSACleanup WSACreateEvent WSAEnumNetworkEvents WSAEventSelect WSAGetLastError WSAResetEvent WSAStartup
  __WSAFDIsSet accept bind closesocket connect freeaddrinfo getaddrinfo getsockname htonl htons ioctlsocket
  listen recv select send setsockopt socket)
target_link_libraries(libmosquitto PUBLIC ws2_32_delayed advapi32)
