// The command file's lines and its stream of argument text; see RunFile.h.
#include "RunFile.h"

#include <algorithm>
#include <cstring>

namespace orlo::session {

namespace {

/// Where the line starting at `at` ends (its line feed, or the end).
std::size_t lineEnd(std::string_view bytes, std::size_t at) {
    const void* feed = std::memchr(bytes.data() + at, '\n', bytes.size() - at);
    return feed == nullptr ? bytes.size() : static_cast<std::size_t>(static_cast<const char*>(feed) - bytes.data());
}

}  // namespace

void RunFile::load(std::string bytes) {
    bytes_ = std::move(bytes);
    start_.clear();
    arg_.assign(1, 0);
    type_ = ElementType::None;
    const std::string_view all(bytes_);
    const std::size_t typeEnd = lineEnd(all, 0);
    type_ = elementType(all.substr(0, typeEnd));
    if (type_ == ElementType::None) return;  // nothing is done with such a file
    // Room for every line at once: a vector grown by doubling would leave
    // the module's memory, which never shrinks, at the peak of the copy.
    std::size_t lines = 1;
    for (const char* p = all.data(); (p = static_cast<const char*>(std::memchr(p, '\n', all.data() + all.size() - p))) != nullptr; ++p) ++lines;
    start_.reserve(lines);
    arg_.reserve(lines + 1);
    std::uint64_t stream = 0;
    for (std::size_t at = typeEnd + 1; at <= all.size();) {
        const std::size_t end = lineEnd(all, at);
        if (end - at > 2) {
            start_.push_back(static_cast<std::uint32_t>(at));
            stream += end - at - 3;
            arg_.push_back(static_cast<std::uint32_t>(stream));
        }
        at = end + 1;
    }
    // arg_ was built one ahead: arg_[k] is where command k + 1's text starts.
}

std::string_view RunFile::line(std::uint32_t k) const {
    const std::size_t at = start_[k - 1];
    return std::string_view(bytes_).substr(at, lineEnd(bytes_, at) - at);
}

std::uint32_t RunFile::commandAt(std::uint64_t offset) const {
    // The last command whose text starts at or before offset (texts may be
    // empty: "ADD" alone appends nothing).
    const auto after = std::upper_bound(arg_.begin(), arg_.end() - 1, static_cast<std::uint32_t>(offset));
    return static_cast<std::uint32_t>(after - arg_.begin());
}

void RunFile::appendStream(std::uint64_t from, std::uint64_t to, std::string& out) const {
    for (std::uint32_t k = from < to ? commandAt(from) : steps() + 1; k <= steps() && from < to; ++k) {
        const std::string_view text = line(k).substr(3);
        const std::uint64_t begin = arg_[k - 1], end = arg_[k];
        if (end <= from) continue;
        const std::uint64_t take = std::min(end, to) - from;
        out.append(text.substr(static_cast<std::size_t>(from - begin), static_cast<std::size_t>(take)));
        from += take;
    }
}

}  // namespace orlo::session
