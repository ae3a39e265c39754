# Fails when an include crosses an arrow the layout forbids. Run with
#   cmake -DROOT=<source tree> -P check_includes.cmake
# In src/, device/ stands alone, card/ builds on device/, and each feature
# folder builds on card/ and device/ only. The device library and the
# emulator never include the library's headers, and the emulator (the
# oracle the library is tested against) not the device library's either.
# The applications (common/, tools/, pkcs11/) lean on the public header
# only, and each of their folders has rooms whose arrows point down. The
# argument parser is included by tkp30's commands only.
cmake_minimum_required(VERSION 3.20)

set(allowed_device device)
set(allowed_card card device)
foreach(feature access files keys ciphers)
  set(allowed_${feature} ${feature} card device)
endforeach()
set(library_folders device card access files keys ciphers)

set(violations "")

function(quoted_includes file out)
  file(STRINGS ${file} lines REGEX "^#include \"")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" name "${line}")
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

file(GLOB src_folders LIST_DIRECTORIES true RELATIVE ${ROOT}/src ${ROOT}/src/*)
foreach(folder IN LISTS src_folders)
  if(NOT IS_DIRECTORY ${ROOT}/src/${folder})
    continue()
  endif()
  if(NOT DEFINED allowed_${folder})
    list(APPEND violations "src/${folder}/ is not a known folder: give it its place in the layout")
    continue()
  endif()
  file(GLOB sources ${ROOT}/src/${folder}/*.h ${ROOT}/src/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    quoted_includes(${source} names)
    foreach(name IN LISTS names)
      if(name MATCHES "^([a-z_]+)/" AND NOT CMAKE_MATCH_1 IN_LIST allowed_${folder})
        file(RELATIVE_PATH rel ${ROOT} ${source})
        list(APPEND violations "${rel} includes ${name}")
      endif()
    endforeach()
  endforeach()
endforeach()

function(forbid tree)
  set(forbidden ${ARGN})
  set(found ${violations})
  file(GLOB_RECURSE sources ${ROOT}/${tree}/*.h ${ROOT}/${tree}/*.cpp)
  foreach(source IN LISTS sources)
    quoted_includes(${source} names)
    foreach(name IN LISTS names)
      string(REGEX REPLACE "/.*" "" first "${name}")
      if(first IN_LIST forbidden OR name IN_LIST forbidden)
        file(RELATIVE_PATH rel ${ROOT} ${source})
        list(APPEND found "${rel} includes ${name}")
      endif()
    endforeach()
  endforeach()
  set(violations ${found} PARENT_SCOPE)
endfunction()

forbid(dmcos ${library_folders} norv_dal_tkp30.h)
forbid(emulator ${library_folders} norv_dal_tkp30.h dmcos.h backend.h slot_table.h trace.h)

# The applications: tools/ and pkcs11/ build on common/, common/ on the
# public header; the library knows none of them, and neither knows the
# other.
set(application_folders common tools pkcs11)
foreach(folder ${library_folders})
  forbid(src/${folder} ${application_folders})
endforeach()
forbid(common ${library_folders} tools pkcs11 dmcos.h)
forbid(tools ${library_folders} pkcs11)
forbid(pkcs11 ${library_folders} tools dmcos.h)

# Rooms of one folder, lowest first: a room includes its own headers and
# those of rooms below it ("room/file.h"), common/ and the public header,
# never a room above it. Every source of the folder is in a room.
# A room may also reach a library outside the applications when the
# variable outside_<folder>_<room> names it.
function(rooms folder)
  set(order ${ARGN})
  set(found ${violations})
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${ROOT}/${folder} ${ROOT}/${folder}/*)
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY ${ROOT}/${folder}/${entry} AND NOT entry IN_LIST order)
      list(APPEND found "${folder}/${entry}/ is not a known room: give it its place in the order")
    elseif(entry MATCHES "\\.(h|cpp)$")
      list(APPEND found "${folder}/${entry} is in no room: give it one")
    endif()
  endforeach()
  set(below "")
  foreach(room IN LISTS order)
    list(APPEND below ${room})
    file(GLOB_RECURSE sources ${ROOT}/${folder}/${room}/*.h ${ROOT}/${folder}/${room}/*.cpp)
    foreach(source IN LISTS sources)
      quoted_includes(${source} names)
      foreach(name IN LISTS names)
        string(REGEX REPLACE "/.*" "" first "${name}")
        if(name STREQUAL first OR first STREQUAL "common" OR first IN_LIST below
           OR first IN_LIST outside_${folder}_${room})
          continue()
        endif()
        file(RELATIVE_PATH rel ${ROOT} ${source})
        list(APPEND found "${rel} includes ${name}: ${first}/ is not below ${room}/")
      endforeach()
    endforeach()
  endforeach()
  set(violations ${found} PARENT_SCOPE)
endfunction()

rooms(pkcs11 ck records token crypto objects store module calls)
# tkp30's rooms, and vcard/, a program of its own: the emulated token
# behind pcscd's virtual reader, the one room that reaches the emulator.
set(outside_tools_vcard tkp30emu)
rooms(tools platform io token crypto commands vcard)

# The argument parser is the commands' alone: it is heavy to compile, and
# what lies below them is shared with tests and a fuzz target that have
# no command line. The virtual card, a program of its own, parses its own.
set(parser_places tools/commands/ tools/vcard/main.cpp)
file(GLOB_RECURSE sources ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/dmcos/*.h ${ROOT}/dmcos/*.cpp
     ${ROOT}/emulator/*.h ${ROOT}/emulator/*.cpp ${ROOT}/common/*.h ${ROOT}/common/*.cpp
     ${ROOT}/tools/*.h ${ROOT}/tools/*.cpp ${ROOT}/pkcs11/*.h ${ROOT}/pkcs11/*.cpp)
foreach(source IN LISTS sources)
  file(RELATIVE_PATH rel ${ROOT} ${source})
  set(allowed FALSE)
  foreach(place IN LISTS parser_places)
    string(FIND "${rel}" "${place}" at)
    if(at EQUAL 0)
      set(allowed TRUE)
    endif()
  endforeach()
  file(STRINGS ${source} parser REGEX "^#include <CLI/")
  if(parser AND NOT allowed)
    list(APPEND violations "${rel} includes the argument parser, which only tools/commands/ may")
  endif()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes against the layout:\n  ${text}")
endif()
message(STATUS "includes follow the layout")
