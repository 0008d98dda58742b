#include "audio/decode/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrela::audio {
namespace {

// Reads through a window of the file so that decoders asking for a few hundred bytes at a
// time (a frame header, one frame) do not cost a system call each.
class FileSource final : public ByteSource {
public:
    explicit FileSource(int fd) : fd_(fd), window_(kWindow) {}
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::size_t read(void* dst, std::size_t count) override {
        auto* out = static_cast<char*>(dst);
        std::size_t done = 0;
        while (done < count) {
            if (offset_ >= windowStart_ &&
                offset_ < windowStart_ + static_cast<std::int64_t>(windowFill_)) {
                const auto at = static_cast<std::size_t>(offset_ - windowStart_);
                const std::size_t n = std::min(count - done, windowFill_ - at);
                std::memcpy(out + done, window_.data() + at, n);
                done += n;
                offset_ += static_cast<std::int64_t>(n);
                continue;
            }
            if (count - done >= kWindow) {
                // Large reads go straight to the caller's memory.
                const std::size_t n = readAt(out + done, count - done, offset_);
                done += n;
                offset_ += static_cast<std::int64_t>(n);
                break;
            }
            windowStart_ = offset_;
            windowFill_ = readAt(window_.data(), kWindow, offset_);
            if (windowFill_ == 0) {
                break;
            }
        }
        return done;
    }

    std::int64_t size() const override {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
    }

private:
    static constexpr std::size_t kWindow = 64 * 1024;

    std::size_t readAt(char* dst, std::size_t count, std::int64_t offset) const {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = ::pread(fd_, dst + done, count - done,
                                        static_cast<off_t>(offset) + static_cast<off_t>(done));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

    int fd_;
    std::vector<char> window_;
    std::int64_t windowStart_ = 0;
    std::size_t windowFill_ = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::vector<std::byte> bytes) : bytes_(std::move(bytes)) {}

    std::size_t read(void* dst, std::size_t count) override {
        const auto total = static_cast<std::int64_t>(bytes_.size());
        if (offset_ >= total) {
            return 0;
        }
        const auto n = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(count), total - offset_));
        std::memcpy(dst, bytes_.data() + offset_, n);
        offset_ += static_cast<std::int64_t>(n);
        return n;
    }

    std::int64_t size() const override { return static_cast<std::int64_t>(bytes_.size()); }

private:
    std::vector<std::byte> bytes_;
};

} // namespace

std::unique_ptr<ByteSource> ByteSource::openFile(const std::filesystem::path& file) {
    // Only regular files, checked before opening: opening a FIFO for reading waits for a
    // writer, and opening some devices waits or acts. O_NONBLOCK covers a file replaced by
    // one of those between the check and the open; the descriptor is checked again.
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd);
}

std::unique_ptr<ByteSource> ByteSource::fromMemory(std::vector<std::byte> bytes) {
    return std::make_unique<MemorySource>(std::move(bytes));
}

bool ByteSource::seek(std::int64_t offset) {
    if (offset < 0) {
        return false;
    }
    offset_ = offset;
    return true;
}

std::int64_t ByteSource::seek(std::int64_t offset, int whence) {
    std::int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = offset_;
    } else if (whence == SEEK_END) {
        base = size();
    } else if (whence != SEEK_SET) {
        return -1;
    }
    if ((offset > 0 && base > INT64_MAX - offset) || !seek(base + offset)) {
        return -1;
    }
    return offset_;
}

std::vector<std::byte> ByteSource::readAll(std::size_t limit) {
    const std::int64_t total = size();
    if (total <= 0 || static_cast<std::uint64_t>(total) > limit || !seek(0)) {
        return {};
    }
    std::vector<std::byte> bytes(static_cast<std::size_t>(total));
    bytes.resize(read(bytes.data(), bytes.size()));
    return bytes;
}

} // namespace tavrela::audio
