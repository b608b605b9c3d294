# Builds one probe target of the layering tests and checks the outcome:
# EXPECT=fail wants the compiler to miss a header, EXPECT=pass a clean build.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target ${TARGET}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(EXPECT STREQUAL "fail")
  if(rc EQUAL 0)
    message(FATAL_ERROR "${TARGET}: compiled, but its include is of a module it does not build on")
  endif()
  if(NOT "${out}${err}" MATCHES "No such file")
    message(FATAL_ERROR "${TARGET}: failed for another reason than a missing header:\n${out}${err}")
  endif()
elseif(NOT rc EQUAL 0)
  message(FATAL_ERROR "${TARGET}: should compile:\n${out}${err}")
endif()
