#pragma once

// The audio engine: decodes files into 32-bit float sample streams, plays several channels at
// once on the default output device (or on a silent null output when there is none), reports
// and sets positions in bytes of each channel's own stream, and calls back when playback
// passes a byte position.
//
// Units. Every length and position is a byte count of the channel's own interleaved 32-bit
// float stream at the channel's own sample rate: frame n (one sample per channel) starts at
// byte n * channels * 4, whatever rate the device runs at. A decode channel and a playback
// channel of the same file report the same length, and a byte position names the same sample
// in both. Byte positions that fall inside a frame are rounded down to the frame's start.
//
// Threads. Every member may be called from any thread; init() and free() only while no other
// call is under way (the program calls them at start and at exit). Sync callbacks run on the
// engine's own mixing thread (with a manual clock: on the thread that calls advanceClock()); a
// callback may call any member, for example pause() on its channel, but must not block for long.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavrela::audio {

/// Handle of a channel; 0 is never a valid channel and calls with it fail harmlessly.
using ChannelHandle = std::uint32_t;
/// Handle of a position sync; 0 is never a valid sync.
using SyncHandle = std::uint32_t;

/// Options of a channel at creation, combined with |.
enum class ChannelFlags : std::uint32_t {
    None = 0,
    Float = 1u << 0,              ///< 32-bit float samples (every channel delivers them)
    Prescan = 1u << 1,            ///< scan the file at creation: exact length and exact seeks
    Decode = 1u << 2,             ///< decode-only channel, read with getData(), never played
    StopOnBackwardJump = 1u << 3, ///< modules: end at a backward jump instead of looping
};

/// Union of two flag sets.
constexpr ChannelFlags operator|(ChannelFlags a, ChannelFlags b) {
    return static_cast<ChannelFlags>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
/// True when every flag of `flag` is set in `set`.
constexpr bool hasFlag(ChannelFlags set, ChannelFlags flag) {
    return (static_cast<std::uint32_t>(set) & static_cast<std::uint32_t>(flag)) ==
               static_cast<std::uint32_t>(flag) &&
           flag != ChannelFlags::None;
}

/// State of a channel as isActive() reports it (the numeric values are part of the contract).
enum class ChannelState : int {
    Stopped = 0, ///< stopped, never played, ended, or a decode channel with no data left
    Playing = 1, ///< playing (a decode channel: data left to read)
    Stalled = 2, ///< waiting for data; file channels decode ahead and never report it
    Paused = 3,  ///< paused by pause() or by a sync callback
};

/// Facts about a channel.
struct ChannelInfo {
    int channels = 0;      ///< interleaved channels of the stream (every one kept when decoding)
    int sampleRate = 0;    ///< the stream's own sample rate in Hz
    bool isModule = false; ///< created by loadModule()
    bool isDecode = false; ///< created with ChannelFlags::Decode
    bool operator==(const ChannelInfo&) const = default;
};

/// Called each time playback passes a sync's position, with the sync, its channel and the
/// user value given to setSync().
using SyncCallback =
    std::function<void(SyncHandle sync, ChannelHandle channel, std::uintptr_t user)>;

/// Returned by getData() for an invalid or non-decode handle and once the data has ended.
inline constexpr std::uint32_t kDataError = 0xFFFFFFFFu;

/// How an engine is set up; the defaults are what the program uses.
struct EngineOptions {
    bool openDevice = true;   ///< false: init() never tries a device and uses the null output
    bool manualClock = false; ///< the null output advances only through advanceClock()
    /// Mixed audio kept ready beyond what the output device holds, in milliseconds: room for
    /// a busy machine to delay the mixer.
    int bufferMs = 60;
};

/// The engine: output device, mixer thread and every channel. Freeing it releases all.
class Engine {
public:
    explicit Engine(EngineOptions options = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    /// Version word; the high 16 bits are major and minor (0x0204).
    static std::uint32_t version();

    /// Opens output `device` (-1: the default device) at `sampleRate`; true when a device is
    /// ready. When none can be opened the engine runs on the null output at that rate and
    /// returns false: channels still play silently, position and fire syncs.
    bool init(int device = -1, int sampleRate = 44100);
    /// True while a real output device plays the mix (false on the null output).
    bool hasDevice() const;
    /// True while the output runs. It starts with the first play() and stops on its own once
    /// nothing has sounded for half a second, so an idle program holds no running stream.
    bool isOutputRunning() const;
    /// Sample rate the mix is played at, in Hz (0 before init()).
    int outputRate() const;
    /// The output chosen by init(): device name, sound system, rate and latency, or the null
    /// output; empty before init().
    std::string outputDescription() const;
    /// Stops all output: every playing channel is paused and the device halts until a play().
    void stop();
    /// Releases the device and every channel; init() may be called again afterwards.
    void free();

    /// Loads a tracker module, rendered as stereo at the output rate (44100 Hz before init());
    /// 0 when the file is not a module or cannot be read.
    ChannelHandle loadModule(const std::filesystem::path& file, ChannelFlags flags);
    /// Opens an MPEG audio, WAV, AIFF, FLAC or Ogg file as a stream; 0 on failure.
    ChannelHandle createStream(const std::filesystem::path& file, ChannelFlags flags);
    /// As createStream() on bytes in memory (copied).
    ChannelHandle createStream(std::span<const std::byte> bytes, ChannelFlags flags);
    /// Frees a module channel; false (and nothing happens) for any other handle.
    bool freeModule(ChannelHandle channel);
    /// Frees a stream channel; false (and nothing happens) for any other handle.
    bool freeStream(ChannelHandle channel);

    /// Facts about a channel; empty for an invalid handle.
    std::optional<ChannelInfo> info(ChannelHandle channel) const;
    /// Length in bytes; -1 for an invalid handle. Exact with Prescan (and for PCM files).
    std::int64_t length(ChannelHandle channel) const;
    /// Position in bytes: of a playing channel, the sample being heard now (the mix position
    /// less what is still queued for the device); of a decode channel, the next byte to read.
    /// -1 for an invalid handle.
    std::int64_t position(ChannelHandle channel) const;
    /// Moves to byte `bytes`: the next sample played or decoded is exactly the one there.
    /// False for an invalid handle or a position outside the stream.
    bool setPosition(ChannelHandle channel, std::int64_t bytes);
    /// Bytes of the channel's stream as seconds; negative for an invalid handle.
    double bytesToSeconds(ChannelHandle channel, std::int64_t bytes) const;

    /// Reads up to `bytes` bytes of interleaved float samples from a decode channel into
    /// `buffer`; returns the bytes written (whole frames), kDataError for an invalid or
    /// non-decode handle and when the data had already ended.
    std::uint32_t getData(ChannelHandle channel, float* buffer, std::uint32_t bytes);
    /// State of a channel; Stopped for an invalid handle.
    ChannelState isActive(ChannelHandle channel) const;
    /// Plays a channel from its current position (from the start when `restart` is set or the
    /// channel had played to its end). False for an invalid or decode handle, or before init().
    bool play(ChannelHandle channel, bool restart = false);
    /// Pauses a playing channel; a pause from a sync callback stops exactly at the sync.
    bool pause(ChannelHandle channel);
    /// Stops a channel; it keeps its position.
    bool stop(ChannelHandle channel);

    /// Places a sync at byte `bytes` of a channel: `callback` runs each time playback passes
    /// that position (reaches it from before it; starting exactly on it is not passing), until
    /// removed. Decode channels fire theirs inside getData(). 0 for an invalid handle or an
    /// empty callback.
    SyncHandle setSync(ChannelHandle channel, std::int64_t bytes, SyncCallback callback,
                       std::uintptr_t user = 0);
    /// Removes a sync; once this returns its callback does not run again. A sync that is gone
    /// or belongs to another channel is ignored (false).
    bool removeSync(ChannelHandle channel, SyncHandle sync);

    /// With EngineOptions::manualClock and the null output: plays `frames` frames of output on
    /// the calling thread (mixing, syncs and the output clock advance by that much), appending
    /// the stereo frames the output received to `received` when given. Returns frames played.
    std::size_t advanceClock(std::size_t frames, std::vector<float>* received = nullptr);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tavrela::audio
