# The handheld bench's cross build (build-arm-bench/, bench/arm): the
# handheld's CPU, an ARMv4T without FPU, in ARM state with soft float, -O3
# (the Release build), static. The glibc ARM toolchain stands in for the
# handheld's own until that has a toolchain file; run-arm-bench takes
# another file through ORVEL_ARM_BENCH_TOOLCHAIN.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)

set(CMAKE_C_FLAGS_INIT "-march=armv4t -marm -mfloat-abi=soft")
set(CMAKE_CXX_FLAGS_INIT "-march=armv4t -marm -mfloat-abi=soft")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(STB_INCLUDE_DIR /usr/include/stb CACHE PATH "stb headers (header-only)")
