# orvel_program(<name> <build> <sources>...)
#
# Makes one program for one build: its sources, the platform half
# orvel_<build> (gp2x, desktop or headless) and the engine. A program for a
# build that this configuration does not make (the desktop when cross
# compiling, the handheld's programs are the only ones then) is skipped, so a
# caller may ask for both:
#
#   orvel_program(Orvel_gp2x gp2x main.cpp)
#   orvel_program(Orvel_win desktop main.cpp)
#
# Programs land in the top of the build tree (build/, build-arm/). A
# toolchain that brings a system layer (ORVEL_SYSTEM_LAYER, the handheld's
# start-up and system calls) has it linked into every program.
function(orvel_program name build)
  if(CMAKE_CROSSCOMPILING AND NOT build STREQUAL "gp2x")
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE orvel_${build} orvel_engine ${ORVEL_SYSTEM_LAYER})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()
