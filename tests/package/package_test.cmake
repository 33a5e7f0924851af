# The installed package, end to end (cmake -P): `cmake --install` of the build tree into a fresh
# prefix; a tiny host project configured with find_package(zanclient), built and run against the
# installed module; the pkg-config file read back; the installed zan finding its module by the
# install layout.
#   -DBUILD_DIR=   the build tree to install
#   -DHOST_DIR=    tests/package/host
#   -DWORK_DIR=    scratch directory (emptied first)
#   -DCXX_FLAGS=   compiler flags for the host (the sanitizer flags of a sanitizer build)
#   -DGENERATOR=   the CMake generator of the build tree
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

run(${CMAKE_COMMAND} -S ${HOST_DIR} -B ${WORK_DIR}/host -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/host)
run(${WORK_DIR}/host/host)
message(STATUS "${run_output}")

# pkg-config: Cflags and the module variable point into the prefix.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  file(GLOB_RECURSE pc_files ${prefix}/*/zanclient.pc)
  list(LENGTH pc_files n)
  if(NOT n EQUAL 1)
    message(FATAL_ERROR "expected one installed zanclient.pc, found: ${pc_files}")
  endif()
  get_filename_component(pc_dir ${pc_files} DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  run(${PKG_CONFIG} --variable=module zanclient)
  string(STRIP "${run_output}" module)
  file(REAL_PATH ${module} module)
  if(NOT EXISTS ${module} OR NOT module MATCHES "^${prefix}/")
    message(FATAL_ERROR "pkg-config module=${module} is not the installed module")
  endif()
  run(${PKG_CONFIG} --cflags zanclient)
  string(STRIP "${run_output}" cflags)
  string(REGEX REPLACE "^-I" "" includedir "${cflags}")
  if(NOT EXISTS ${includedir}/zanclient/ZANClient.h)
    message(FATAL_ERROR "pkg-config --cflags '${cflags}' does not name the installed headers")
  endif()
endif()

# The installed zan finds the installed module by the install layout (no ZANCLIENT_MODULE).
unset(ENV{ZANCLIENT_MODULE})
set(ENV{ZANCLIENT_REGISTRY} ${WORK_DIR}/registry)
run(${prefix}/bin/zan register)
file(REAL_PATH ${prefix} real_prefix)
string(FIND "${run_output}" " of ${real_prefix}/" at)
if(at EQUAL -1 OR NOT run_output MATCHES "/ZANClient.so\n$")
  message(FATAL_ERROR "the installed zan did not load the installed module: ${run_output}")
endif()
run(${prefix}/bin/zan unregister)
file(REMOVE_RECURSE ${WORK_DIR})
