#include "byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tavrela::tags {

FileSource::FileSource(const std::string& fileName) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer forever.
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    length_ = static_cast<std::uint64_t>(st.st_size);
}

FileSource FileSource::Borrowing(int fd) {
    FileSource s;
    s.owned_ = false;
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        s.fd_ = fd;
        s.length_ = static_cast<std::uint64_t>(st.st_size);
    }
    return s;
}

FileSource::FileSource(FileSource&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), owned_(other.owned_), length_(other.length_),
      error_(other.error_) {}

FileSource::~FileSource() {
    if (fd_ >= 0 && owned_) {
        ::close(fd_);
    }
}

std::size_t FileSource::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const {
    std::size_t done = 0;
    while (fd_ >= 0 && done < size) {
        const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            if (error_ == 0) {
                error_ = errno;
            }
            break;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t MemorySource::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const {
    if (size == 0 || offset >= bytes_.size()) {
        return 0;
    }
    const std::size_t n = std::min<std::uint64_t>(size, bytes_.size() - offset);
    std::memcpy(out, bytes_.data() + offset, n);
    return n;
}

bool RegularFileExists(const std::string& fileName) {
    struct stat st {};
    return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace tavrela::tags
