#pragma once

#include "audio/decode/decoder.h"
#include "audio/dsp/position_map.h"
#include "audio/dsp/resampler.h"
#include "audio/engine.h"
#include "audio/pi_mutex.h"

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace tavrela::audio {

inline constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
/// Frames the mixer renders at a time, and the most a channel decodes at a time.
inline constexpr std::size_t kBlockFrames = 512;

/// A position sync of a channel.
struct Sync {
    SyncHandle handle = 0;
    std::uint64_t frame = 0;
    SyncCallback callback;
    std::uintptr_t user = 0;
    std::atomic<bool> removed{false};
};

/// One channel: its decoder and everything the mixer and the callers share about it. Every
/// field is guarded by `mutex`; the device callback never touches a channel.
struct Channel {
    Channel(ChannelHandle handle, std::unique_ptr<Decoder> decoder, bool isModule, bool isDecode);

    /// Reads up to `frames` frames at `pos` into `out` (the channel's own layout), stopping at
    /// the next sync: `hitSync` tells that `pos` now stands on one. Returns the frames read.
    std::size_t pull(float* out, std::size_t frames, bool& hitSync);
    /// Jumps to `frame`; false when the stream cannot go there (nothing changes then).
    bool seekTo(std::uint64_t frame);
    /// The first sync frame after `frame`, kNever when none.
    std::uint64_t nextSyncAfter(std::uint64_t frame) const;
    /// Frame the mixer has taken from the decoder (less input staged for the resampler).
    std::uint64_t mixFrame() const { return pos - (stagedCount - stagedOffset); }
    std::size_t frameBytes() const { return static_cast<std::size_t>(info.channels) * 4; }
    /// Starts the resampler afresh from the current mix position.
    void restartResampler();
    /// Notes that `made` resampled output frames went out at output frame `outAt`.
    void noteResampled(std::uint64_t outAt, std::size_t made, double ratio);

    PiMutex mutex;
    const ChannelHandle handle;
    ChannelInfo info;
    std::unique_ptr<Decoder> decoder;
    std::uint64_t lengthFrames = 0;
    bool exactLength = false;
    bool freed = false;

    std::uint64_t pos = 0;  ///< next frame the decoder delivers
    bool dataEnded = false; ///< the decoder has nothing more from `pos`
    ChannelState state = ChannelState::Stopped;
    bool mixEnded = false;         ///< the end of the data has been mixed...
    std::uint64_t endOut = kNever; ///< ...and is heard at this output frame
    std::vector<std::shared_ptr<Sync>> syncs;
    PositionMap heard;

    // Mixing state, used by the mixer thread only (under `mutex`).
    std::vector<float> raw;    ///< decoded frames in the channel's layout
    std::vector<float> staged; ///< folded stereo frames waiting for the resampler
    std::size_t stagedCount = 0;
    std::size_t stagedOffset = 0;
    std::uint64_t stagedStart = 0;
    std::unique_ptr<Resampler> resampler;
    int resamplerRate = 0;
    double resampleClock = 0.0; ///< stream frame the next resampled output frame stands for
    bool draining = false;      ///< flushing the resampler's tail after the input stopped
    bool endAfterDrain = false; ///< the flush is the end of the data
};

} // namespace tavrela::audio
