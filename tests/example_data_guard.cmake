# Records, or compares against the record, every file of the example data
# folder with its size and time, so that a test writing there fails the
# run. A read-only copy of the checkout would hide such a write.
#   cmake -DMODE=record|compare -DDIR=<folder> -DRECORD=<file> -P example_data_guard.cmake
function(listing out)
  set(text "")
  if(EXISTS "${DIR}")
    file(GLOB_RECURSE files LIST_DIRECTORIES false "${DIR}/*")
    list(SORT files)
    foreach(f IN LISTS files)
      file(SIZE "${f}" size)
      file(TIMESTAMP "${f}" time "%s" UTC)
      string(APPEND text "${f} ${size} ${time}\n")
    endforeach()
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

listing(now)
if(MODE STREQUAL "record")
  file(WRITE "${RECORD}" "${now}")
elseif(NOT EXISTS "${RECORD}")
  message(FATAL_ERROR "No record of the example data folder: run the record step first.")
else()
  file(READ "${RECORD}" before)
  if(NOT before STREQUAL now)
    message(FATAL_ERROR "The tests wrote into the example data folder ${DIR}.\nBefore:\n${before}\nAfter:\n${now}")
  endif()
endif()
