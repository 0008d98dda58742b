#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace tavrela::audio {

/// Random-access bytes a decoder reads: an open file or a block of memory. Reads past the
/// end return fewer bytes; a file that shrinks while open simply ends earlier.
class ByteSource {
public:
    /// Opens a file for reading; nullptr when it cannot be opened.
    static std::unique_ptr<ByteSource> openFile(const std::filesystem::path& file);
    /// Wraps bytes held in memory.
    static std::unique_ptr<ByteSource> fromMemory(std::vector<std::byte> bytes);

    virtual ~ByteSource() = default;
    /// Reads up to `count` bytes at the current offset; returns the bytes read (0 at the end).
    virtual std::size_t read(void* dst, std::size_t count) = 0;
    /// Moves the offset; false (offset unchanged) for a negative offset.
    bool seek(std::int64_t offset);
    /// Moves the offset as lseek does (`whence` is SEEK_SET, SEEK_CUR or SEEK_END); returns
    /// the new offset, or -1 (offset unchanged) when it would be negative or whence is unknown.
    std::int64_t seek(std::int64_t offset, int whence);
    /// Current offset.
    std::int64_t tell() const { return offset_; }
    /// Current size in bytes (a file is asked again each time).
    virtual std::int64_t size() const = 0;
    /// Reads the whole source from the start, at most `limit` bytes; empty on failure.
    std::vector<std::byte> readAll(std::size_t limit);

protected:
    std::int64_t offset_ = 0;
};

} // namespace tavrela::audio
