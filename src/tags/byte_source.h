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
};

/// A read-only file; closed with the object.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& fileName);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool IsOpen() const override { return fd_ >= 0; }
    std::uint64_t Length() const override { return length_; }
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const override;

private:
    int fd_ = -1;
    std::uint64_t length_ = 0;
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
