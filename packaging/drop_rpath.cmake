# SPDX-License-Identifier: MIT
# Runs before cpack packs the Debian packages. A program installed by hand
# finds the library beside it through its run path ($ORIGIN/../lib); in /usr
# the loader's own search finds it, and Debian forbids run paths there.
file(GLOB_RECURSE programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
list(FILTER programs INCLUDE REGEX "/bin/[^/]+$")
foreach(program IN LISTS programs)
  if(IS_SYMLINK "${program}")
    continue()
  endif()
  file(READ "${program}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    file(RPATH_REMOVE FILE "${program}")
  endif()
endforeach()
