# Installs the built library into a scratch prefix and builds a tiny consumer
# project with find_package(ZuvoECF), then runs it.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${prefix}
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
foreach(h component/ZuvoECF.h core/ZuvoUtil.h device/ZuvoBase.h)
  if(NOT EXISTS ${prefix}/include/zuvoecf/${h})
    message(FATAL_ERROR "missing installed header ${h}")
  endif()
endforeach()
# A library built with the sanitizers needs their runtime in the consumer too.
set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=address,undefined")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/consumer
  -B ${WORK_DIR}/build -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${flags}"
  "-DCMAKE_EXE_LINKER_FLAGS=${flags}" RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "configure of the consumer failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "build of the consumer failed: ${rc}")
endif()
execute_process(COMMAND ${WORK_DIR}/build/consumer RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(rc OR NOT out MATCHES "ecfNennhum")
  message(FATAL_ERROR "consumer failed (${rc}): ${out}")
endif()
