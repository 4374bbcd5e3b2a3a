# Writes the gzipped manual page from the built program's --help and --version.
# A copy of the program runs in a throw-away folder and HOME: should it not know
# an option, it must not start its work beside the build or in the builder's
# own home. A program that does not answer leaves no page behind, so installing
# and packaging fail instead of shipping a wrong one; the build itself goes on.
# In: PROGRAM, HELP2MAN, GZIP, WORK (a scratch folder), OUTPUT.
set(answer_seconds 20)
file(REMOVE ${OUTPUT})
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/home/.config ${WORK}/home/Documents ${WORK}/tmp)
get_filename_component(here ${CMAKE_SCRIPT_MODE_FILE} DIRECTORY)
file(COPY ${PROGRAM} DESTINATION ${WORK})
get_filename_component(program_name ${PROGRAM} NAME)
set(PROGRAM ${WORK}/${program_name})
set(quiet_env HOME=${WORK}/home XDG_CONFIG_HOME=${WORK}/home/.config XDG_DOCUMENTS_DIR=${WORK}/home/Documents
    TMPDIR=${WORK}/tmp QT_QPA_PLATFORM=offscreen)

execute_process(COMMAND ${CMAKE_COMMAND} -E env ${quiet_env} ${PROGRAM} --version
  TIMEOUT ${answer_seconds} RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE complained)
if(NOT status EQUAL 0 OR NOT said MATCHES "[0-9]+\\.[0-9]+")
  message(WARNING "No manual page: '${PROGRAM} --version' did not answer with a version "
                  "(status ${status}): ${said}${complained}")
  return()
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E env ${quiet_env}
          ${HELP2MAN} --no-info --section=1 --include=${here}/vistrel.h2m --output=${WORK}/vistrel.1 ${PROGRAM}
  TIMEOUT ${answer_seconds} RESULT_VARIABLE status ERROR_VARIABLE complained)
if(NOT status EQUAL 0 OR NOT EXISTS ${WORK}/vistrel.1)
  message(WARNING "No manual page: help2man failed (status ${status}): ${complained}")
  return()
endif()

# Debian wants manual pages compressed, and reproducibly (no name, no time).
execute_process(COMMAND ${GZIP} -9n -c ${WORK}/vistrel.1 OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(WARNING "No manual page: gzip failed (status ${status})")
endif()
