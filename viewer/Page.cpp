// Writing the page; see Page.h. The page as built has two marks: where the
// command file goes (as Escape::PageData writes it) and where the module
// goes (base64 of its gzip-compressed bytes).
#include "Page.h"

#include <cstddef>
#include <string>

#include "Escape.h"

#if defined(ORLO_HAS_PAGE)
namespace orlo::page {
extern const unsigned char kPageTemplate[];
extern const std::size_t kPageTemplateSize;
extern const unsigned char kPageModule[];
extern const std::size_t kPageModuleSize;
}  // namespace orlo::page
#endif

namespace orlo {

#if defined(ORLO_HAS_PAGE)

namespace {

std::string base64(const unsigned char* data, std::size_t n) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((n + 2) / 3 * 4);
    for (std::size_t i = 0; i < n; i += 3) {
        const unsigned v = (unsigned{data[i]} << 16) | (i + 1 < n ? unsigned{data[i + 1]} << 8 : 0) | (i + 2 < n ? data[i + 2] : 0);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < n ? kAlphabet[v & 63] : '=';
    }
    return out;
}

}  // namespace

bool pageBuilt() { return true; }

void writePage(LineWriter& out, std::string_view run) {
    const std::string_view page(reinterpret_cast<const char*>(page::kPageTemplate), page::kPageTemplateSize);
    constexpr std::string_view kRun = "@ORLO_RUN@", kModule = "@ORLO_MODULE@";
    const std::size_t runAt = page.find(kRun), moduleAt = page.find(kModule);
    std::string text;
    text.reserve(run.size() + run.size() / 16);
    appendEscaped(text, run, Escape::PageData);
    out.raw(page.substr(0, runAt));
    out.raw(text);
    out.raw(page.substr(runAt + kRun.size(), moduleAt - runAt - kRun.size()));
    out.raw(base64(page::kPageModule, page::kPageModuleSize));
    out.raw(page.substr(moduleAt + kModule.size()));
}

#else

bool pageBuilt() { return false; }

void writePage(LineWriter&, std::string_view) {}

#endif

}  // namespace orlo
