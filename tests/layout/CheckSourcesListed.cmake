# Fails when a source under src/ is named in no layer's CMakeLists.txt: such a
# file would sit in the tree unbuilt, and its tests would pass without it.
#   cmake -DSOURCE_DIR=<src> -P CheckSourcesListed.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.qrc)

set(failures "")
foreach(file IN LISTS files)
  string(REGEX MATCH "^([^/]+)/(.+)$" parts "${file}")
  set(layer "${CMAKE_MATCH_1}")
  set(inside "${CMAKE_MATCH_2}")
  if(layer STREQUAL "" OR NOT EXISTS ${SOURCE_DIR}/${layer}/CMakeLists.txt)
    list(APPEND failures "src/${file}: in no layer folder with a CMakeLists.txt")
    continue()
  endif()
  if(NOT DEFINED listed_${layer})
    file(READ ${SOURCE_DIR}/${layer}/CMakeLists.txt text)
    string(REGEX REPLACE "#[^\n]*" "" text "${text}")
    string(REGEX MATCHALL "[^ \t\r\n()\"]+" listed_${layer} "${text}")
  endif()
  if(NOT inside IN_LIST listed_${layer})
    list(APPEND failures "src/${file}: not listed in src/${layer}/CMakeLists.txt")
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "Sources the build does not know:\n${text}")
endif()
