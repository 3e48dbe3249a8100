cmake_minimum_required(VERSION 3.20)
# Removes from the staging folder every file that is not in KEEP (a list of paths) or named in one
# of the files KEEP_LISTS (a path per line, written by rules whose files are known only once they
# have run), so that a source deleted from Content/ leaves the archive too.
foreach(list_file IN LISTS KEEP_LISTS)
  file(STRINGS "${list_file}" listed)
  list(APPEND KEEP ${listed})
endforeach()
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${STAGE}/*")
foreach(staged_file IN LISTS staged)
  if(NOT staged_file IN_LIST KEEP)
    file(REMOVE "${staged_file}")
  endif()
endforeach()
