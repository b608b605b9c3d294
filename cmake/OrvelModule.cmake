# The engine's modules as libraries whose includes the build checks.
#
# Sources include headers by their path from the repository root
# ("render3d/kv_3D.h"). A module does not get the root on its include path:
# each module <m> publishes build/include/<m>/<m>, a link to its own folder,
# and a target sees only the folders of what it links. An include of a
# module that is not declared fails with "No such file".

# orvel_module(<name> SOURCES <files>... [DEPS <modules>...])
# Makes the static library orvel_<name> from <name>/<files>, building on
# orvel_<dep> for each dep.
function(orvel_module name)
  cmake_parse_arguments(M "" "" "SOURCES;DEPS" ${ARGN})
  add_library(orvel_${name} STATIC ${M_SOURCES})
  set(inc ${CMAKE_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${inc})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${name} ${inc}/${name} SYMBOLIC)
  target_include_directories(orvel_${name} PUBLIC ${inc})
  foreach(dep ${M_DEPS})
    target_link_libraries(orvel_${name} PUBLIC orvel_${dep})
  endforeach()
endfunction()

# orvel_platform_api(): the interface library orvel_platform_api, the one
# header platform/kv_sys.h that the demo calls and each platform half
# implements (program entry and exit, controller, clock).
function(orvel_platform_api)
  set(inc ${CMAKE_BINARY_DIR}/include/platform_api/platform)
  file(MAKE_DIRECTORY ${inc})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/platform/kv_sys.h ${inc}/kv_sys.h SYMBOLIC)
  add_library(orvel_platform_api INTERFACE)
  target_include_directories(orvel_platform_api INTERFACE ${CMAKE_BINARY_DIR}/include/platform_api)
endfunction()

# orvel_platform_half(<build> <sources>... [CLOCK <source>] [LIBS <libraries>...]):
# the object library orvel_<build> of one platform half (platform/<build>/),
# building on video, audio and the platform calls, plus the given libraries.
# The shared part of every half (platform/kv_sys.cpp) is compiled into each,
# and the source of its monotonic clock (timer_monotonicMs): the given one,
# else the toolchain's ORVEL_MONOTONIC_CLOCK (a system without one of its
# own), else the system's (platform/kv_monotonic.cpp).
function(orvel_platform_half build)
  cmake_parse_arguments(H "" "CLOCK" "LIBS" ${ARGN})
  if(H_CLOCK)
    set(clock ${H_CLOCK})
  elseif(ORVEL_MONOTONIC_CLOCK)
    set(clock ${ORVEL_MONOTONIC_CLOCK})
  else()
    set(clock ${CMAKE_SOURCE_DIR}/platform/kv_monotonic.cpp)
  endif()
  add_library(orvel_${build} OBJECT ${H_UNPARSED_ARGUMENTS} ${CMAKE_SOURCE_DIR}/platform/kv_sys.cpp ${clock})
  set(inc ${CMAKE_BINARY_DIR}/include/platform_${build}/platform)
  file(MAKE_DIRECTORY ${inc})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/platform/${build} ${inc}/${build} SYMBOLIC)
  target_include_directories(orvel_${build} PUBLIC ${CMAKE_BINARY_DIR}/include/platform_${build})
  target_link_libraries(orvel_${build} PUBLIC orvel_video orvel_audio orvel_platform_api ${H_LIBS})
endfunction()
