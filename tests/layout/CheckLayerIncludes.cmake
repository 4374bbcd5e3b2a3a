# Fails when a file of one layer includes a header of a layer it does not link.
# An upward call already fails to link; an upward include of a header-only
# piece would not, so this reads the includes themselves.
#   cmake -DSOURCE_DIR=<src> -DRULES=<file setting allowed_<layer>> -P CheckLayerIncludes.cmake
cmake_minimum_required(VERSION 3.25)
include(${RULES})

set(failures "")
foreach(layer IN LISTS layers)
  file(GLOB_RECURSE files ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.h)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*)[\">].*" "\\1" target "${line}")
      file(RELATIVE_PATH shown ${SOURCE_DIR}/.. ${file})
      # A climb out of the folder would hide which layer is meant.
      if(target MATCHES "(^|/)\\.\\.(/|$)")
        list(APPEND failures "${shown}: climbs out with #include \"${target}\"")
        continue()
      endif()
      string(REGEX MATCH "^([^/]+)/" prefix "${target}")
      set(used "${CMAKE_MATCH_1}")
      if(used STREQUAL "" OR NOT used IN_LIST layers)
        continue()
      endif()
      if(NOT used IN_LIST allowed_${layer})
        list(JOIN allowed_${layer} ", " may)
        list(APPEND failures "${shown}: layer '${layer}' may not include \"${target}\" (it may use ${may})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "Includes against the layer order:\n${text}")
endif()
