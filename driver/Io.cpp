// Byte sources, the line splitter and the line sinks.
#include "Io.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>


namespace orlo {

namespace {
constexpr std::size_t kReadSize = std::size_t{64} << 10;
}

FdSource::FdSource(int fd) : fd_(fd) {}

FdSource::~FdSource() {
    if (fd_ >= 0) ::close(fd_);
}

long FdSource::read(char* into, std::size_t n) {
    for (;;) {
        const ssize_t got = ::read(fd_, into, n);
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}

long MemorySource::read(char* into, std::size_t n) {
    if (served_ >= failAfter_) {
        errno = EIO;
        return -1;
    }
    std::size_t count = std::min({n, piece_, data_.size() - served_});
    if (failAfter_ != kNever) count = std::min(count, failAfter_ - served_);
    if (count == 0) return 0;  // an empty view may have no data pointer at all
    std::memcpy(into, data_.data() + served_, count);
    served_ += count;
    return static_cast<long>(count);
}

LineReader::LineReader(ByteSource& source) : source_(source), buffer_(kReadSize) {}

bool LineReader::fill() {
    // Keep the unread bytes and make room behind them.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (buffer_.size() - end_ < kReadSize / 2) buffer_.resize(std::max(buffer_.size() * 2, end_ + kReadSize));
    const long got = source_.read(buffer_.data() + end_, buffer_.size() - end_);
    if (got < 0) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    if (got == 0) sourceDone_ = true;
    end_ += static_cast<std::size_t>(got);
    return true;
}

bool LineReader::takeBuffered(std::size_t searched, std::string_view& line) {
    const char* start = buffer_.data();
    if (const void* feed = std::memchr(start + searched, '\n', end_ - searched)) {
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(feed) - start);
        line = std::string_view(start + begin_, at - begin_);
        begin_ = at + 1;
        return true;
    }
    if (sourceDone_) {
        line = std::string_view(start + begin_, end_ - begin_);
        begin_ = end_;
        atEnd_ = true;
        return true;
    }
    return false;
}

bool LineReader::next(std::string_view& line) {
    if (error_ != 0) return false;
    std::size_t searched = begin_;
    while (!takeBuffered(searched, line)) {
        searched = end_ - begin_;  // fill() moves the unread bytes to the front
        if (!fill()) {
            atEnd_ = true;
            return false;
        }
    }
    return true;
}

bool LineReader::nextAtHand(std::string_view& line) {
    return !atEnd_ && error_ == 0 && takeBuffered(begin_, line);
}

void writeAll(int fd, std::string_view text) noexcept {
    while (!text.empty()) {
        const ssize_t put = ::write(fd, text.data(), text.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(put));
    }
}

OutputError::OutputError(int error) : std::runtime_error(std::strerror(error)), error_(error) {}

void FdSink::writeLine(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd_, data, size);
        if (put > 0) {
            data += put;
            size -= static_cast<std::size_t>(put);
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A non-blocking descriptor inherited from the caller: wait until
            // it takes more rather than dropping output.
            pollfd ready{fd_, POLLOUT, 0};
            ::poll(&ready, 1, -1);
        } else {
            throw OutputError(put < 0 ? errno : EIO);
        }
    }
}

}  // namespace orlo
