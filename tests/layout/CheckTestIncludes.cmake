# Fails when a file in one test folder includes a file of another test folder:
# what several folders share belongs in tests/support.
#   cmake -DTESTS_DIR=<tests> -P CheckTestIncludes.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB folders LIST_DIRECTORIES true RELATIVE ${TESTS_DIR} ${TESTS_DIR}/*)

set(failures "")
foreach(folder IN LISTS folders)
  if(NOT IS_DIRECTORY ${TESTS_DIR}/${folder} OR folder STREQUAL "support")
    continue()
  endif()
  file(GLOB_RECURSE files ${TESTS_DIR}/${folder}/*.cpp ${TESTS_DIR}/${folder}/*.h)
  list(FILTER files EXCLUDE REGEX "/node_modules/")
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" target "${line}")
      file(RELATIVE_PATH shown ${TESTS_DIR}/.. ${file})
      # Where the include lands: beside the file first, then from tests/.
      get_filename_component(here ${file} DIRECTORY)
      if(EXISTS ${here}/${target})
        get_filename_component(landed ${here}/${target} ABSOLUTE)
      elseif(EXISTS ${TESTS_DIR}/${target})
        get_filename_component(landed ${TESTS_DIR}/${target} ABSOLUTE)
      else()
        continue() # a header of the program or of a library
      endif()
      file(RELATIVE_PATH inside ${TESTS_DIR} ${landed})
      if(NOT inside MATCHES "^(${folder}|support)/")
        list(APPEND failures "${shown}: #include \"${target}\" reaches tests/${inside}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "Test files that include another test folder's files (move them to tests/support):\n${text}")
endif()
