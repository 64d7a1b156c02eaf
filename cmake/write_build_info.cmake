# Writes the header of the version and source commit the tools report.
# Run at build time (cmake -P), so that the commit is the one built:
#   -DSOURCE_DIR=the source tree  -DOUTPUT=the header  -DVERSION=x.y.z
# Without git, or outside a checkout of SOURCE_DIR (a tarball, even one
# unpacked inside another repository), the commit is "unknown". A tree with
# changes that are not committed says so with "-modified".

set(commit "unknown")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --show-toplevel
                  OUTPUT_VARIABLE top RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(rc EQUAL 0)
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE_DIR}" source)
  endif()
  if(rc EQUAL 0 AND top STREQUAL source)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE head RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(rc EQUAL 0 AND head MATCHES "^[0-9a-f]+$")
      set(commit "${head}")
      execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" diff --quiet HEAD --
                      RESULT_VARIABLE dirty OUTPUT_QUIET ERROR_QUIET)
      if(NOT dirty EQUAL 0)
        string(APPEND commit "-modified")
      endif()
    endif()
  endif()
endif()

set(text "// Written by cmake/write_build_info.cmake at build time.\n#define PLUMEX_VERSION \"${VERSION}\"\n#define PLUMEX_COMMIT \"${commit}\"\n")
# Rewritten only when it changes, so the tools are not relinked every build.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
