# Fails when a file under PASTA names the serial port object: a call to
# Serial() (the device's accessor) or the class TBlockSerial.
file(GLOB_RECURSE arquivos ${PASTA}/*.h ${PASTA}/*.cpp)
set(achados)
foreach(a IN LISTS arquivos)
  file(STRINGS ${a} linhas REGEX "(^|[^A-Za-z0-9_])(Serial[ \t]*\\([ \t]*\\)|TBlockSerial)")
  foreach(l IN LISTS linhas)
    list(APPEND achados "${a}: ${l}")
  endforeach()
endforeach()
if(achados)
  list(JOIN achados "\n" texto)
  message(FATAL_ERROR "A driver names the serial port object; use the driver base's primitives:\n${texto}")
endif()
