# Writes resource script text that carries an .ico file as one icon group and its images, each
# image a resource of its own numbered from FIRST_IMAGE. The resource compiler's ICON statement
# would number the images itself; raw data blocks let us choose the numbers and keep every byte.
# Script mode:
#   cmake -DINPUT=file.ico -DOUTPUT=file.rc2 -DGROUP=id -DFIRST_IMAGE=id -P icon-rc.cmake
file(READ "${INPUT}" hex HEX)
include(${CMAKE_CURRENT_LIST_DIR}/bytes.cmake)

# Hex digits as raw data items: 16-bit little-endian words, which every resource compiler reads
# the same way, and an odd last byte as a one-character string.
function(raw_items bytes out)
  string(LENGTH "${bytes}" length)
  math(EXPR odd "${length} % 4")
  set(tail "")
  if(odd)
    math(EXPR length "${length} - 2")
    string(SUBSTRING "${bytes}" ${length} 2 last)
    string(SUBSTRING "${bytes}" 0 ${length} bytes)
    set(tail "\"\\x${last}\",")
  endif()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])([0-9a-f][0-9a-f])" "0x\\2\\1," items "${bytes}")
  set(${out} "${items}${tail}" PARENT_SCOPE)
endfunction()

# Items as a raw data block, a dozen to a line.
function(raw_block items out)
  string(REGEX REPLACE ",$" "" items "${items}")
  string(REPLACE "," ", " items "${items}")
  # CMake's regular expressions know no {n}; spell the dozen out.
  string(REPEAT "[^,]+, " 12 dozen)
  string(REGEX REPLACE "(${dozen})" "\\1\n  " items "${items}")
  string(REGEX REPLACE " +\n" "\n" items "${items}")
  set(${out} "{\n  ${items}\n}\n" PARENT_SCOPE)
endfunction()

read_number(0 2 reserved)
read_number(2 2 type)
read_number(4 2 count)
if(NOT reserved EQUAL 0 OR NOT type EQUAL 1 OR count EQUAL 0)
  message(FATAL_ERROR "${INPUT} is no icon file")
endif()

# The group is the file's directory with each image's 32-bit file offset replaced by its 16-bit
# resource id.
read_bytes(0 6 header)
raw_items("${header}" group)
set(images "")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  math(EXPR entry "6 + 16 * ${i}")
  math(EXPR id "${FIRST_IMAGE} + ${i}")
  if(id GREATER 65535)
    message(FATAL_ERROR "resource id ${id} does not fit 16 bits")
  endif()
  read_bytes(${entry} 12 fields)
  raw_items("${fields}" items)
  string(APPEND group "${items}${id},")

  math(EXPR size_at "${entry} + 8")
  math(EXPR offset_at "${entry} + 12")
  read_number(${size_at} 4 size)
  read_number(${offset_at} 4 offset)
  read_bytes(${offset} ${size} image)
  raw_items("${image}" items)
  raw_block("${items}" data)
  math(EXPR number "${i} + 1")
  string(APPEND images "\n${id} 3 /* RT_ICON: image ${number} of the file */\n${data}")
endforeach()
raw_block("${group}" group)

file(WRITE "${OUTPUT}.tmp"
  "// Generated from the icon file by icon-rc.cmake; do not edit.\n"
  "${GROUP} 14 /* RT_GROUP_ICON */\n${group}${images}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
