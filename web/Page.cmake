# The page orlo-dot --html writes runs Orlo itself, compiled to WebAssembly
# with Debian's wasm32-wasi toolchain. Orlo never needs that toolchain; where
# it is missing, configuring says which packages would bring it, and
# orlo-dot --html says the page was not built.
#
# Sets ORLO_PAGE_SOURCES (the generated source carrying the page, for
# orlo-dot), ORLO_WASM_ORLO (Orlo.wasm, for the end-to-end tests),
# ORLO_PAGE_WASM (the page's module) and ORLO_PAGE_MODULES (the folder of
# the page's script modules, the generated one among them, for their tests).
include(ExternalProject)

set(ORLO_PAGE_SOURCES "")
set(ORLO_WASM_ORLO "")
set(ORLO_PAGE_WASM "")
set(ORLO_PAGE_MODULES "")
# The page's script modules, each after those it imports; page.js runs the page.
set(ORLO_PAGE_SCRIPTS frame-layout layout labels narrate frame engine link bytes scene view page)

set(missing "")
find_program(ORLO_WASM_CLANG clang++-14)
if(NOT ORLO_WASM_CLANG)
  list(APPEND missing clang-14)
endif()
find_program(ORLO_WASM_LD wasm-ld-14)
if(NOT ORLO_WASM_LD)
  list(APPEND missing lld-14)
endif()
if(NOT EXISTS /usr/lib/wasm32-wasi/libc.a)
  list(APPEND missing wasi-libc)
endif()
if(NOT EXISTS /usr/lib/wasm32-wasi/libc++.a OR NOT EXISTS /usr/include/wasm32-wasi/c++/v1/vector)
  list(APPEND missing libc++-14-dev-wasm32)
endif()
if(NOT EXISTS /usr/lib/wasm32-wasi/libc++abi.a)
  list(APPEND missing libc++abi-14-dev-wasm32)
endif()
file(GLOB builtins /usr/lib/llvm-14/lib/clang/*/lib/wasi/libclang_rt.builtins-wasm32.a)
if(NOT builtins)
  list(APPEND missing libclang-rt-14-dev-wasm32)
endif()

if(missing)
  list(JOIN missing " " packages)
  message(STATUS "The wasm32-wasi toolchain is missing (${packages}): Orlo builds, but not the page "
                 "orlo-dot --html writes. To build it: apt-get install ${packages}")
  return()
endif()

set(wasm_dir ${CMAKE_BINARY_DIR}/wasm)
ExternalProject_Add(orlo_wasm
  SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}
  BINARY_DIR ${wasm_dir}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/wasm32-wasi.cmake -DCMAKE_BUILD_TYPE=Release
             -DORLO_WERROR=${ORLO_WERROR}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${wasm_dir}/Orlo.wasm ${wasm_dir}/orlo-page.wasm)
set(ORLO_WASM_ORLO ${wasm_dir}/Orlo.wasm)

set(ORLO_PAGE_WASM ${wasm_dir}/orlo-page.wasm)

# The frame's layout for the page's scripts, written from the one definition
# the session is built from (Frame.h).
add_executable(orlo-frame-layout ${CMAKE_CURRENT_LIST_DIR}/FrameLayoutJs.cpp)
target_link_libraries(orlo-frame-layout PRIVATE orlo_warnings)

# The page's modules in one folder: the sources and the generated layout.
# Node runs the pure ones' tests from here; the page bundles them.
set(ORLO_PAGE_MODULES ${CMAKE_BINARY_DIR}/page/modules)
set(module_files "")
foreach(name IN LISTS ORLO_PAGE_SCRIPTS)
  list(APPEND module_files ${ORLO_PAGE_MODULES}/${name}.js)
  if(NOT name STREQUAL "frame-layout")
    add_custom_command(OUTPUT ${ORLO_PAGE_MODULES}/${name}.js
      COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/page/${name}.js ${ORLO_PAGE_MODULES}/${name}.js
      DEPENDS ${CMAKE_CURRENT_LIST_DIR}/page/${name}.js VERBATIM)
  endif()
endforeach()
add_custom_command(OUTPUT ${ORLO_PAGE_MODULES}/frame-layout.js
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORLO_PAGE_MODULES}
  COMMAND orlo-frame-layout > ${ORLO_PAGE_MODULES}/frame-layout.js
  DEPENDS orlo-frame-layout VERBATIM)
add_custom_target(orlo_page_modules ALL DEPENDS ${module_files})

# The page: its HTML with the style, the modules bundled into one script and
# the compressed module put in, as bytes in a source file orlo-dot is built with.
set(page_source ${CMAKE_BINARY_DIR}/page/PageTemplate.cpp)
add_custom_command(OUTPUT ${page_source}
  COMMAND ${CMAKE_COMMAND} -DPAGE_DIR=${CMAKE_CURRENT_LIST_DIR}/page -DMODULES_DIR=${ORLO_PAGE_MODULES}
          "-DSCRIPTS=${ORLO_PAGE_SCRIPTS}" -DMODULE=${wasm_dir}/orlo-page.wasm
          -DOUTPUT=${page_source} -P ${CMAKE_CURRENT_LIST_DIR}/EmbedPage.cmake
  DEPENDS ${module_files} ${CMAKE_CURRENT_LIST_DIR}/page/index.html ${CMAKE_CURRENT_LIST_DIR}/page/page.css
          ${wasm_dir}/orlo-page.wasm ${CMAKE_CURRENT_LIST_DIR}/EmbedPage.cmake orlo_wasm
  COMMENT "Putting the page together"
  VERBATIM)
set(ORLO_PAGE_SOURCES ${page_source})
