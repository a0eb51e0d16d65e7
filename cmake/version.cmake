# Writes the version header from its template with the commit the tree is at
# now (git describe, "-dirty" with uncommitted changes; "unknown" without git
# or .git). Run at every build, so the commit is never the one of an earlier
# configure; configure_file leaves the header alone when nothing changed, so
# nothing is compiled again then.
#   cmake -DSOURCE=<tree> -DVERSION=<x.y> -DINPUT=<template> -DOUTPUT=<header> -P version.cmake
set(PULSEBENCH_GIT_COMMIT "unknown")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${SOURCE}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty --abbrev=12
                  WORKING_DIRECTORY ${SOURCE} OUTPUT_VARIABLE describe
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(NOT failed AND describe)
    set(PULSEBENCH_GIT_COMMIT ${describe})
  endif()
endif()
set(PROJECT_VERSION ${VERSION})
configure_file(${INPUT} ${OUTPUT} @ONLY)
