#pragma once
// Random-access byte input for the readers: a file on disk or bytes in memory (tests, fuzzing).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tavrela::tags {

/// Random-access input. Reads past the end are short, never out of bounds.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    /// False when the input could not be opened.
    virtual bool IsOpen() const = 0;
    virtual std::uint64_t Length() const = 0;
    /// Reads up to `size` bytes at `offset`; returns how many were read.
    virtual std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const = 0;
    /// True when exactly `size` bytes were read.
    bool ReadExact(std::uint64_t offset, std::uint8_t* out, std::size_t size) const {
        return ReadAt(offset, out, size) == size;
    }
    /// The error number of the first read that failed, 0 when none did. A read cut short by
    /// an error is not the end of the input: whoever writes from what was read checks this.
    virtual int Error() const { return 0; }
};

/// A read-only regular file; closed with the object. Never blocks on a FIFO or device.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& fileName);
    /// Reads through a descriptor the caller owns and keeps open; the length is taken now.
    static FileSource Borrowing(int fd);
    ~FileSource() override;
    FileSource(FileSource&& other) noexcept;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    FileSource& operator=(FileSource&&) = delete;

    bool IsOpen() const override { return fd_ >= 0; }
    std::uint64_t Length() const override { return length_; }
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const override;
    int Error() const override { return error_; }
    /// The open descriptor, -1 when none.
    int Descriptor() const { return fd_; }

private:
    FileSource() = default;
    int fd_ = -1;
    bool owned_ = true;
    std::uint64_t length_ = 0;
    mutable int error_ = 0;
};

/// Bytes owned by the caller, which must outlive the source.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool IsOpen() const override { return true; }
    std::uint64_t Length() const override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const override;

private:
    std::span<const std::uint8_t> bytes_;
};

/// True when the path names an existing regular file (symbolic links followed).
bool RegularFileExists(const std::string& fileName);

} // namespace tavrela::tags
