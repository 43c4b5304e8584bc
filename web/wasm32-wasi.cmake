# CMake toolchain for wasm32-wasi with Debian's packages: clang-14, lld-14,
# wasi-libc, libc++-14-dev-wasm32, libc++abi-14-dev-wasm32 and
# libclang-rt-14-dev-wasm32.
#
# Debian's WASI "sysroot" is /usr itself: headers in /usr/include/wasm32-wasi
# (libc++ in its c++/v1), libraries in /usr/lib/wasm32-wasi, the builtins
# under clang's resource folder. clang-14 --target=wasm32-wasi finds the
# libraries unaided and links with wasm-ld-14; its header search would end in
# the host's /usr/include, so -nostdlibinc drops that and the WASI folders
# are named instead. Executables are NAME.wasm.
set(CMAKE_SYSTEM_NAME Generic)  # CMake 3.25 has no WASI platform module
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(WASI TRUE)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_AR llvm-ar-14 CACHE FILEPATH "archiver")
set(CMAKE_RANLIB llvm-ranlib-14 CACHE FILEPATH "ranlib")
set(CMAKE_C_FLAGS_INIT "-nostdlibinc")
set(CMAKE_CXX_FLAGS_INIT "-nostdlibinc")
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES /usr/include/wasm32-wasi)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES /usr/include/wasm32-wasi/c++/v1 /usr/include/wasm32-wasi)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wno-unused-command-line-argument")  # -nostdlibinc reaches the link too
set(CMAKE_EXECUTABLE_SUFFIX ".wasm")
set(CMAKE_EXECUTABLE_SUFFIX_CXX ".wasm")
# Never pick up the build machine's libraries, headers or packages.
set(CMAKE_FIND_ROOT_PATH /usr/lib/wasm32-wasi /usr/include/wasm32-wasi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
