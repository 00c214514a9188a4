# Reads fields of a file whose bytes a script-mode CMake script holds as hex digits in `hex`
# (file(READ ... HEX)); `INPUT` names the file in messages.

# The hex digits of SIZE bytes at OFFSET.
function(read_bytes offset size out)
  string(LENGTH "${hex}" digits)
  math(EXPR end "${offset} + ${size}")
  math(EXPR length "${digits} / 2")
  if(end GREATER length)
    message(FATAL_ERROR "${INPUT} ends before byte ${end}")
  endif()
  math(EXPR at "${offset} * 2")
  math(EXPR count "${size} * 2")
  string(SUBSTRING "${hex}" ${at} ${count} bytes)
  set(${out} "${bytes}" PARENT_SCOPE)
endfunction()

# The little-endian number of SIZE bytes at OFFSET.
function(read_number offset size out)
  read_bytes(${offset} ${size} bytes)
  set(digits "")
  foreach(i RANGE 1 ${size})
    math(EXPR at "(${size} - ${i}) * 2")
    string(SUBSTRING "${bytes}" ${at} 2 byte)
    string(APPEND digits "${byte}")
  endforeach()
  math(EXPR value "0x${digits}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()
