#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrela::audio {

/// Remembers which stretch of a channel's stream went into which stretch of the output, so the
/// position being heard can be told from the output clock while the mix runs ahead of it.
class PositionMap {
public:
    /// `outFrames` output frames from output frame `outStart` carry the channel's frames
    /// `chanStart` to `chanStart + chanFrames`.
    void add(std::uint64_t outStart, std::uint64_t outFrames, std::uint64_t chanStart,
             std::uint64_t chanFrames);
    /// Forgets everything (after a jump to another position).
    void clear() { count_ = 0; }
    bool empty() const { return count_ == 0; }
    /// The channel frame heard at output frame `heardOut`; `fallback` when nothing is known.
    /// Drops the stretches wholly heard.
    std::uint64_t heardFrame(std::uint64_t heardOut, std::uint64_t fallback);

private:
    struct Span {
        std::uint64_t outStart;
        std::uint64_t outFrames;
        std::uint64_t chanStart;
        std::uint64_t chanFrames;
    };
    static constexpr std::size_t kCapacity = 256;
    Span& at(std::size_t i) { return spans_[(first_ + i) % kCapacity]; }
    std::array<Span, kCapacity> spans_{};
    std::size_t first_ = 0;
    std::size_t count_ = 0;
};

} // namespace tavrela::audio
