# orvel_program(<name> <build> <sources>...)
#
# Makes one program for one build: its sources, the platform half
# orvel_<build> (gp2x, desktop, headless or web) and the engine. A program
# for a build that this configuration does not make is skipped (a cross build
# makes only its target's programs: the handheld's for ARM, the browser's
# for WebAssembly), so a caller may ask for several:
#
#   orvel_program(Orvel_gp2x gp2x main.cpp)
#   orvel_program(Orvel_win desktop main.cpp)
#
# Programs land in the top of the build tree (build/, build-arm/). A
# toolchain that brings a system layer (ORVEL_SYSTEM_LAYER, the handheld's
# start-up and system calls) has it linked into every program.
function(orvel_program name build)
  if(EMSCRIPTEN)
    set(only web)
  elseif(CMAKE_CROSSCOMPILING)
    set(only gp2x)
  else()
    set(only "")
  endif()
  if((only AND NOT build STREQUAL only) OR (NOT only AND build STREQUAL "web"))
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE orvel_${build} orvel_engine ${ORVEL_SYSTEM_LAYER})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()
