# devcore holds plugins to the contract by its own reading of it: none of its sources may include a header of the
# layers it tests. Run with -DSOURCES=<the devcore folder>.
file(GLOB files ${SOURCES}/*.h ${SOURCES}/*.cpp)
set(found "")
foreach(file ${files})
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](runtime|remoting|plugin)/")
  foreach(line ${lines})
    string(APPEND found "\n  ${file}: ${line}")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "devcore includes the layers it tests:${found}")
endif()
