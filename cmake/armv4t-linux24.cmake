# Cross build for the handheld: ARMv4T (ARM920T) in ARM mode, soft float,
# static programs for its Linux 2.4 kernel. Used by `make arm` into build-arm/.
#
# Compiler and C library are Debian's bare-metal ones (gcc-arm-none-eabi,
# libnewlib-arm-none-eabi, libstdc++-arm-none-eabi-newlib; their default
# multilib is this very target). The library knows no operating system: our
# system layer (platform/gp2x/linux24/) starts the programs and makes their
# system calls through the kernel's old interface, and adds the system
# headers the library lacks (sys/mman.h, sys/ioctl.h).
#
# Every program this build makes with orvel_program() links the system
# layer (ORVEL_SYSTEM_LAYER below), so a second program for the console,
# for example a benchmark over the engine, is one more orvel_program() call.
# A program made with a bare add_executable() needs
#   target_link_libraries(<program> PRIVATE orvel_linux24)
# The handheld bench (bench/arm, ORVEL_ARM_BENCH) is such a program, over
# the headless half, which that build makes too.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_STRIP arm-none-eabi-strip)

# ARMv4T: no clz, ldrd/strd, blx or pld; no floating-point unit, every
# float is done in software.
# _DEFAULT_SOURCE: the C library shows its POSIX and BSD names (readlink,
# O_DIRECT, ...) in the strict language mode, as the host's does.
set(ORVEL_ARM_FLAGS "-march=armv4t -marm -mfloat-abi=soft -D_DEFAULT_SOURCE")
set(CMAKE_C_FLAGS_INIT "${ORVEL_ARM_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${ORVEL_ARM_FLAGS}")
# Static, with our start-up instead of the library's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -nostartfiles")
# Without the system layer nothing links: check the compilers by compiling.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(ORVEL_SYSTEM_LAYER orvel_linux24)
get_filename_component(orvel_gp2x_dir ${CMAKE_CURRENT_LIST_DIR}/../platform/gp2x ABSOLUTE)
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES ${orvel_gp2x_dir}/linux24/include)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${orvel_gp2x_dir}/linux24/include)
# The kernel has no monotonic clock: every platform half built here (the
# headless one of a benchmark, too) gets the handheld's, the wall clock held
# where it is set back.
set(ORVEL_MONOTONIC_CLOCK ${orvel_gp2x_dir}/gp2x_clock.cpp)

set(CMAKE_FIND_ROOT_PATH /usr/lib/arm-none-eabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# stb_image is header-only and the same for every target: take the build
# machine's copy (Debian libstb-dev).
set(STB_INCLUDE_DIR /usr/include/stb CACHE PATH "stb headers (header-only)")
