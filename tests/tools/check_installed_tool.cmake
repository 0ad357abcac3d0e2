# cmake -P script: installs the build into a scratch prefix and runs the
# installed pelix as a user of the package would: it must find its library
# and the installed data by itself, and the demo must leave nothing behind.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
file(MAKE_DIRECTORY ${WORK_DIR}/tmp ${WORK_DIR}/registry)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(LAST_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${prefix})
foreach(installed bin/pelix share/man/man1/pelix.1 share/bash-completion/completions/pelix share/pelix/faultcodes.xml share/pelix/package
                  share/pelix/reports include/pelix/common.h)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()
file(GLOB pc_files ${prefix}/*/pkgconfig/pelix-common.pc ${prefix}/*/*/pkgconfig/pelix-common.pc)
if(NOT pc_files)
  message(FATAL_ERROR "pelix-common.pc not installed")
endif()

run(${CMAKE_COMMAND} -E env --unset=PELIX_DATA_DIR TMPDIR=${WORK_DIR}/tmp PELIX_REGISTRY_DIR=${WORK_DIR}/registry
    ${prefix}/bin/pelix demo)
if(NOT LAST_OUTPUT MATCHES "bundled data in ${prefix}/share/pelix/")
  message(FATAL_ERROR "the installed tool did not use the installed data:\n${LAST_OUTPUT}")
endif()
if(NOT LAST_OUTPUT MATCHES "Demo finished")
  message(FATAL_ERROR "the demo did not finish:\n${LAST_OUTPUT}")
endif()
file(GLOB left ${WORK_DIR}/tmp/* ${WORK_DIR}/registry/*)
if(left)
  message(FATAL_ERROR "the demo left files behind: ${left}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
