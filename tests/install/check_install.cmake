# cmake -P script: install into a scratch prefix, then build the consumer
# against it twice, through the CMake package and through pkg-config, and run
# both builds.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/some/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(LAST_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

function(expect_consumer_ok)
  run(${ARGN} ${SOURCE_DIR}/data/faultcodes.xml)
  if(NOT LAST_OUTPUT MATCHES "consumer ok")
    message(FATAL_ERROR "unexpected consumer output: ${LAST_OUTPUT}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${prefix})
separate_arguments(flags UNIX_COMMAND "${CONSUMER_FLAGS}")

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/consumer -B ${WORK_DIR}/consumer
    -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
expect_consumer_ok(${WORK_DIR}/consumer/pelix_consumer)

# pkg-config finds the prefix from where the .pc file lies.
file(GLOB_RECURSE pc_file ${prefix}/pelix-common.pc)
get_filename_component(pc_dir "${pc_file}" DIRECTORY)
set(pkg_config ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} PKG_CONFIG_LIBDIR=/nonexistent pkg-config)
run(${pkg_config} --variable=libdir pelix-common)
string(STRIP "${LAST_OUTPUT}" libdir)
file(REAL_PATH "${libdir}" libdir)
if(NOT libdir MATCHES "^${prefix}/" OR NOT EXISTS ${libdir}/libpelix-common.so)
  message(FATAL_ERROR "pelix-common.pc gives the library folder ${libdir}, not one in ${prefix}")
endif()
run(${pkg_config} --cflags --libs pelix-common)
separate_arguments(pc_flags UNIX_COMMAND "${LAST_OUTPUT}")
run(${CXX} -std=c++17 ${flags} ${SOURCE_DIR}/tests/install/consumer/main.cpp -o ${WORK_DIR}/pelix_consumer_pc
    ${pc_flags} -Wl,-rpath,${libdir})
expect_consumer_ok(${WORK_DIR}/pelix_consumer_pc)
