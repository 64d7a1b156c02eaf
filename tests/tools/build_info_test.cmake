# The build-info script: a checkout gives its HEAD commit, a tree outside
# git (an unpacked tarball) gives "unknown".
set(script ${SOURCE_DIR}/cmake/write_build_info.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/tarball)

execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${WORK_DIR}/tarball -DOUTPUT=${WORK_DIR}/tarball.h
                        -DVERSION=9.8.7 -P ${script} RESULT_VARIABLE rc)
file(READ ${WORK_DIR}/tarball.h text)
if(NOT rc EQUAL 0 OR NOT text MATCHES "PLUMEX_VERSION \"9.8.7\"" OR NOT text MATCHES "PLUMEX_COMMIT \"unknown\"")
  message(FATAL_ERROR "outside git: ${text}")
endif()

find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${SOURCE_DIR}/.git)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR} -DOUTPUT=${WORK_DIR}/checkout.h
                          -DVERSION=1.0.0 -P ${script})
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(READ ${WORK_DIR}/checkout.h text)
  if(NOT text MATCHES "PLUMEX_COMMIT \"${head}(-modified)?\"")
    message(FATAL_ERROR "checkout at ${head}: ${text}")
  endif()
endif()
