# Puts the page together (cmake -P): index.html with page.css put in place of
# the link to it and the script modules bundled into one script in place of
# the element that names page.js, a content security policy that allows
# exactly those (by their SHA-256) and nothing else, and the gzip-compressed
# module; then writes it as bytes into a C++ source.
#
#   cmake -DPAGE_DIR=web/page -DMODULES_DIR=build/page/modules "-DSCRIPTS=a;b;page"
#         -DMODULE=orlo-page.wasm -DOUTPUT=PageTemplate.cpp -P EmbedPage.cmake
#
# The modules are bundled by rewriting the two forms they keep to: each is a
# function whose exports are the object it returns (`export function f` and
# `export const c` lose the word export, and their names are returned), and
# `import { a, b } from "./m.js";` takes them from m's object. SCRIPTS lists
# them each after those it imports.
#
# The page keeps two marks for orlo-dot to fill: @ORLO_RUN@ (the command
# file) and @ORLO_MODULE@ (the module, in base64).

# Base64 of the bytes a string of hexadecimal digits spells.
function(hex_to_base64 hex out)
  set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
  string(LENGTH "${hex}" digits)
  set(result "")
  set(i 0)
  while(i LESS digits)
    set(group "")
    set(bytes 0)
    foreach(k 0 2 4)
      math(EXPR at "${i} + ${k}")
      if(at LESS digits)
        string(SUBSTRING "${hex}" ${at} 2 byte)
        string(APPEND group "${byte}")
        math(EXPR bytes "${bytes} + 1")
      else()
        string(APPEND group "00")
      endif()
    endforeach()
    math(EXPR value "0x${group}")
    foreach(shift 18 12 6 0)
      math(EXPR index "(${value} >> ${shift}) & 63")
      string(SUBSTRING "${alphabet}" ${index} 1 char)
      string(APPEND result "${char}")
    endforeach()
    if(bytes LESS 3)
      math(EXPR keep "${bytes} + 1")
      string(LENGTH "${result}" length)
      math(EXPR cut "${length} - 4 + ${keep}")
      string(SUBSTRING "${result}" 0 ${cut} result)
      foreach(pad RANGE ${keep} 3)
        string(APPEND result "=")
      endforeach()
    endif()
    math(EXPR i "${i} + 6")
  endwhile()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# `sha256-...` as a content security policy names a text.
function(policy_hash text out)
  string(SHA256 digest "${text}")
  hex_to_base64("${digest}" encoded)
  set(${out} "'sha256-${encoded}'" PARENT_SCOPE)
endfunction()

# A C++ array definition of a file's bytes.
function(bytes_of file name out)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n" hex "${hex}")
  file(SIZE "${file}" size)
  set(${out} "extern const unsigned char ${name}[] = {\n${hex}0};\nextern const std::size_t ${name}Size = ${size};\n" PARENT_SCOPE)
endfunction()

# The variable that holds module `name`'s exports.
function(module_variable name out)
  string(MAKE_C_IDENTIFIER "module_${name}" variable)
  set(${out} ${variable} PARENT_SCOPE)
endfunction()

set(script "(() => {\n\"use strict\";\n")
foreach(name IN LISTS SCRIPTS)
  file(READ ${MODULES_DIR}/${name}.js body)
  string(REGEX MATCHALL "\nexport (async function|function|const|class) [A-Za-z_$][A-Za-z0-9_$]*" exported "\n${body}")
  set(names "")
  foreach(declaration IN LISTS exported)
    string(REGEX REPLACE ".* ([A-Za-z_$][A-Za-z0-9_$]*)$" "\\1" exported_name "${declaration}")
    list(APPEND names ${exported_name})
  endforeach()
  string(REGEX REPLACE "(^|\n)export (async function|function|const|class) " "\\1\\2 " body "${body}")
  foreach(imported IN LISTS SCRIPTS)
    module_variable(${imported} variable)
    string(REGEX REPLACE "(^|\n)import \\{([^}]*)\\} from \"\\./${imported}\\.js\";" "\\1const {\\2} = ${variable};" body "${body}")
  endforeach()
  string(FIND "${body}" "\nimport " left)
  string(FIND "${body}" "\nexport " unbundled)
  if(NOT left EQUAL -1 OR NOT unbundled EQUAL -1)
    message(FATAL_ERROR "EmbedPage: ${name}.js has an import or export of a form the bundle cannot take")
  endif()
  list(JOIN names ", " returned)
  module_variable(${name} variable)
  string(APPEND script "const ${variable} = (() => {\n${body}\nreturn { ${returned} };\n})();\n")
endforeach()
string(APPEND script "})();\n")

file(READ ${PAGE_DIR}/index.html page)
file(READ ${PAGE_DIR}/page.css style)
string(REPLACE "<link rel=\"stylesheet\" href=\"page.css\">" "<style>${style}</style>" page "${page}")
string(REPLACE "<script type=\"module\" src=\"page.js\"></script>" "<script>${script}</script>" page "${page}")
policy_hash("${style}" style_hash)
policy_hash("${script}" script_hash)
string(REPLACE "script-src 'self'" "script-src ${script_hash}" page "${page}")
string(REPLACE "style-src 'self'" "style-src ${style_hash}" page "${page}")
string(FIND "${page}" "'self'" found)
if(NOT found EQUAL -1)
  message(FATAL_ERROR "EmbedPage: the policy still allows 'self'")
endif()
foreach(mark "<style>" "<script>(() => {" "@ORLO_RUN@" "@ORLO_MODULE@")
  string(FIND "${page}" "${mark}" first)
  string(FIND "${page}" "${mark}" last REVERSE)
  if(first EQUAL -1 OR NOT first EQUAL last)
    message(FATAL_ERROR "EmbedPage: the page must hold ${mark} once")
  endif()
endforeach()

get_filename_component(out_dir ${OUTPUT} DIRECTORY)
file(WRITE ${out_dir}/orlo-page.html "${page}")
file(ARCHIVE_CREATE OUTPUT ${out_dir}/orlo-page.wasm.gz PATHS ${MODULE} FORMAT raw COMPRESSION GZip
     COMPRESSION_LEVEL 9 MTIME 0)
bytes_of(${out_dir}/orlo-page.html kPageTemplate page_bytes)
bytes_of(${out_dir}/orlo-page.wasm.gz kPageModule module_bytes)
file(WRITE ${OUTPUT}.tmp "// Generated by web/EmbedPage.cmake from web/page/ and orlo-page.wasm: do not edit.
#include <cstddef>

namespace orlo::page {
${page_bytes}
${module_bytes}
}  // namespace orlo::page
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
