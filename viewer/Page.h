// The page orlo-dot --html writes: one self-contained HTML file that runs
// Orlo itself (compiled to WebAssembly, carried in the page) on a command
// file, step by step, or lets a learner type commands into an empty one.
// Its HTML, style and scripts live in web/page/; the build puts them and
// the module together (web/EmbedPage.cmake).
#pragma once

#include <string_view>

#include "Io.h"

namespace orlo {

/// Whether this build carries the page (the wasm32-wasi toolchain was
/// installed when it was configured).
bool pageBuilt();

/// Writes the page with `run`, a command file's bytes, in it (none: an
/// empty page, a playground). Only when pageBuilt().
void writePage(LineWriter& out, std::string_view run);

}  // namespace orlo
