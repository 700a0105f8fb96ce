# Fails when a source file of one subsystem includes a header of a subsystem
# above it: the libraries are layered, and an include may only run down.
#   cmake -DLAYER=stats -DALLOWED=stats|input|platform|reports -DFILES=a.cpp|b.h -DSTAMP=out -P check_includes.cmake
cmake_minimum_required(VERSION 3.25)
set(subsystems platform reports input stats spectra run plot ptc)
string(REPLACE "|" ";" ALLOWED "${ALLOWED}")
string(REPLACE "|" ";" FILES "${FILES}")
foreach(file IN LISTS FILES)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z_]+)/.*" "\\1" used "${line}")
    if(used IN_LIST subsystems AND NOT used IN_LIST ALLOWED)
      message(FATAL_ERROR "${file}: ${LAYER} may not include ${used}/ (allowed: ${ALLOWED})")
    endif()
  endforeach()
endforeach()
file(WRITE "${STAMP}" "")
