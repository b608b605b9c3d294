# The SD-card package, build-arm/orvel-gp2x.zip:
#
#   orvel/orvel.gpe    the program, stripped (the console's menu runs .gpe files)
#   orvel/data/...     the data set, as the host build generated it
#   orvel/README.txt   how to install and run it
#
# The program finds data/ beside itself wherever it is started from. The
# folder orvel/ stays in build-arm/ as packed, so the packed program can be
# run from there too.
set(ORVEL_HOST_BUILD ${CMAKE_SOURCE_DIR}/build CACHE PATH
    "The host build tree whose generated data set the handheld package carries")
set(host_data ${ORVEL_HOST_BUILD}/data)
set(host_stamp ${ORVEL_HOST_BUILD}/data.stamp) # written by tools/mkdata when the set is complete

if(NOT EXISTS ${host_stamp})
  message(WARNING "No data set in ${host_data}: the SD-card package is not made. `make arm` generates it first.")
  return()
endif()
find_program(ORVEL_ZIP zip REQUIRED)

set(stage ${CMAKE_BINARY_DIR}/orvel)
set(zip ${CMAKE_BINARY_DIR}/orvel-gp2x.zip)
add_custom_command(
  OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
  COMMAND ${CMAKE_STRIP} -o ${stage}/orvel.gpe $<TARGET_FILE:Orvel_gp2x>
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${host_data} ${stage}/data
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/README.txt ${stage}/README.txt
  COMMAND ${ORVEL_ZIP} -q -r -X ${zip} orvel
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS Orvel_gp2x ${host_stamp} ${CMAKE_CURRENT_SOURCE_DIR}/README.txt
  COMMENT "Packing the SD-card package orvel-gp2x.zip"
  VERBATIM)
add_custom_target(orvel_package ALL DEPENDS ${zip})
