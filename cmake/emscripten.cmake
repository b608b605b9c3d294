# The browser build: WebAssembly through Debian's Emscripten (emcc). Used by
# `make web`, whose CMake tree is build-wasm/ and whose page lands in
# build-web/.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# emcc runs its JavaScript optimiser under node at link time and needs
# Debian's acorn from /usr/share/nodejs, which a node that is not Debian's
# does not search. Harmless with Debian's own node.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)

# stb_image is header-only and the same for every target: take the build
# machine's copy (Debian libstb-dev).
set(STB_INCLUDE_DIR /usr/include/stb CACHE PATH "stb headers (header-only)")
