cmake_minimum_required(VERSION 3.20)
# Removes from the staging folder every file that is not in KEEP (a list of paths), so that a
# source deleted from Content/ leaves the archive too.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${STAGE}/*")
foreach(staged_file IN LISTS staged)
  if(NOT staged_file IN_LIST KEEP)
    file(REMOVE "${staged_file}")
  endif()
endforeach()
