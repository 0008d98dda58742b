#include "audio/engine.h"

#include "audio/channel.h"
#include "audio/decode/byte_source.h"
#include "audio/decode/decoder.h"
#include "audio/dsp/frame_ring.h"
#include "audio/dsp/mix.h"
#include "audio/output/output.h"
#include "audio/output/thread_priority.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace tavrela::audio {
namespace {

// Module channels are rendered at this rate until an output fixes another.
constexpr int kDefaultModuleRate = 44100;
// How long the output keeps running after the last sound was heard before the device is
// stopped: a pause and a new Play a moment later reuse the running stream.
constexpr int kIdleStopMs = 500;

} // namespace

struct Engine::Impl {
    explicit Impl(EngineOptions o) : options(o) {}

    // ---- channel table ----------------------------------------------------------------
    std::shared_ptr<Channel> find(ChannelHandle handle) const {
        std::lock_guard lock(tableMutex);
        const auto it = channels.find(handle);
        return it == channels.end() ? nullptr : it->second;
    }

    ChannelHandle add(std::unique_ptr<Decoder> decoder, bool isModule, ChannelFlags flags) {
        if (!decoder) {
            return 0;
        }
        std::lock_guard lock(tableMutex);
        ChannelHandle handle = nextHandle++;
        if (handle == 0) {
            handle = nextHandle++;
        }
        channels.emplace(handle, std::make_shared<Channel>(handle, std::move(decoder), isModule,
                                                           hasFlag(flags, ChannelFlags::Decode)));
        return handle;
    }

    bool remove(ChannelHandle handle, bool module) {
        std::shared_ptr<Channel> channel;
        {
            std::lock_guard lock(tableMutex);
            const auto it = channels.find(handle);
            if (it == channels.end() || it->second->info.isModule != module) {
                return false;
            }
            channel = it->second;
            channels.erase(it);
        }
        // Once this returns no sync of the channel runs and its file is closed.
        std::lock_guard fire(fireMutex);
        std::lock_guard lock(channel->mutex);
        release(*channel);
        return true;
    }

    static void release(Channel& channel) {
        channel.freed = true;
        channel.state = ChannelState::Stopped;
        channel.decoder.reset();
        for (auto& s : channel.syncs) {
            s->removed = true;
        }
        channel.syncs.clear();
    }

    int moduleRate() const {
        const int rate = outputRate.load();
        return rate > 0 ? rate : kDefaultModuleRate;
    }

    // ---- output clock ------------------------------------------------------------------
    /// The output frame being heard now: what the output took from the ring, less what is
    /// still queued in the device. A device that starts holds only what it took since; a
    /// stopped one has played everything it took.
    std::uint64_t heardOut() const {
        if (!ring) {
            return 0;
        }
        const std::uint64_t read = ring->readTotal();
        if (!outputRunning.load()) {
            return read;
        }
        return read - std::min<std::uint64_t>(latencyFrames, read - readAtStart.load());
    }

    /// Effective state of a playback channel: one whose end has been heard is stopped.
    ChannelState stateOf(Channel& channel) {
        if (channel.info.isDecode) {
            return channel.dataEnded ? ChannelState::Stopped : ChannelState::Playing;
        }
        if (channel.state == ChannelState::Playing && channel.mixEnded &&
            heardOut() >= channel.endOut) {
            channel.state = ChannelState::Stopped;
        }
        return channel.state;
    }

    // ---- syncs -------------------------------------------------------------------------
    /// Runs the callbacks of the syncs at `frame`. Called without the channel's lock.
    void fire(const std::shared_ptr<Channel>& channel, std::uint64_t frame) {
        std::lock_guard fireLock(fireMutex);
        std::vector<std::shared_ptr<Sync>> due;
        {
            std::lock_guard lock(channel->mutex);
            for (const auto& s : channel->syncs) {
                if (s->frame == frame) {
                    due.push_back(s);
                }
            }
        }
        for (const auto& s : due) {
            if (!s->removed) {
                s->callback(s->handle, channel->handle, s->user);
            }
        }
    }

    // ---- mixing (engine thread, or the caller of advanceClock) ---------------------------
    /// Renders up to `frames` output frames of a playing channel into `out` (zeroed stereo),
    /// from output frame `outStart` on.
    /// Returns whether the channel took part in the mix.
    bool renderChannel(const std::shared_ptr<Channel>& channelPtr, float* out, std::size_t frames,
                       std::uint64_t outStart) {
        Channel& ch = *channelPtr;
        std::unique_lock lock(ch.mutex);
        const bool active = !ch.freed &&
                            (ch.state == ChannelState::Playing || ch.draining) && !ch.mixEnded;
        const int rate = outputRate.load();
        const bool resample = ch.info.sampleRate != rate;
        if (resample && (!ch.resampler || ch.resamplerRate != rate)) {
            ch.resampler = std::make_unique<Resampler>(ch.info.sampleRate, rate, 2);
            ch.resamplerRate = rate;
            ch.restartResampler();
        }
        const double ratio = rate > 0 ? static_cast<double>(ch.info.sampleRate) / rate : 1.0;
        std::size_t produced = 0;
        int idle = 0;
        while (produced < frames && !ch.freed &&
               (ch.state == ChannelState::Playing || ch.draining) && !ch.mixEnded) {
            float* dst = out + produced * 2;
            const std::size_t room = frames - produced;
            if (!resample) {
                const std::uint64_t from = ch.pos;
                bool hit = false;
                const std::size_t got = ch.pull(ch.raw.data(), room, hit);
                foldToStereo(ch.raw.data(), ch.info.channels, got, dst);
                ch.heard.add(outStart + produced, got, from, got);
                produced += got;
                if (hit) {
                    // Mix time: the callback sees the channel stopped exactly at the sync, so
                    // a pause from it lets no later sample into the mix.
                    const std::uint64_t at = ch.pos;
                    lock.unlock();
                    fire(channelPtr, at);
                    lock.lock();
                    continue;
                }
                if (ch.dataEnded) {
                    ch.mixEnded = true;
                    ch.endOut = outStart + produced;
                }
                continue;
            }
            if (!ch.resampler->valid()) {
                break;
            }
            if (ch.stagedOffset < ch.stagedCount) {
                std::size_t used = 0;
                std::size_t made = 0;
                ch.resampler->process(ch.staged.data() + ch.stagedOffset * 2,
                                      ch.stagedCount - ch.stagedOffset, used, dst, room, made);
                ch.stagedOffset += used;
                ch.noteResampled(outStart + produced, made, ratio);
                produced += made;
                idle = used == 0 && made == 0 ? idle + 1 : 0;
                if (idle > 2) {
                    break;
                }
                continue;
            }
            if (ch.draining || ch.state != ChannelState::Playing) {
                // The input stopped (a pause from a sync, or the end): the filter's tail is
                // the last of the sound, with nothing beyond the stop in it.
                const std::size_t made = ch.resampler->drain(dst, room);
                ch.noteResampled(outStart + produced, made, ratio);
                produced += made;
                if (made == 0) {
                    // Once the tail is out, the stream stands exactly where its input ended.
                    const auto at = static_cast<std::uint64_t>(ch.resampleClock);
                    ch.heard.add(outStart + produced, 0, at, ch.mixFrame() - at);
                    const bool ended = ch.endAfterDrain;
                    ch.restartResampler();
                    if (ended) {
                        ch.mixEnded = true;
                        ch.endOut = outStart + produced;
                    }
                }
                continue;
            }
            const std::uint64_t from = ch.pos;
            bool hit = false;
            const std::size_t got = ch.pull(ch.raw.data(), kBlockFrames, hit);
            foldToStereo(ch.raw.data(), ch.info.channels, got, ch.staged.data());
            ch.stagedCount = got;
            ch.stagedOffset = 0;
            ch.stagedStart = from;
            if (hit) {
                const std::uint64_t at = ch.pos;
                lock.unlock();
                fire(channelPtr, at);
                lock.lock();
                if (ch.state != ChannelState::Playing && ch.stagedCount > 0) {
                    ch.draining = true; // paused from the sync: play out up to it
                }
            } else if (got == 0 && ch.dataEnded) {
                ch.draining = true;
                ch.endAfterDrain = true;
            }
        }
        return active;
    }

    /// Mixes blocks until the ring holds the wanted amount ahead of the output.
    void pump() {
        std::lock_guard pumpLock(pumpMutex);
        if (!ring) {
            return;
        }
        while (ring->readable() < targetFrames && ring->writable() >= kBlockFrames) {
            active.clear();
            {
                std::lock_guard lock(tableMutex);
                for (const auto& [handle, channel] : channels) {
                    if (!channel->info.isDecode) {
                        active.push_back(channel);
                    }
                }
            }
            std::fill(mix.begin(), mix.end(), 0.0f);
            const std::uint64_t outStart = ring->writtenTotal();
            bool sounding = false;
            for (const auto& channel : active) {
                std::fill(block.begin(), block.end(), 0.0f);
                sounding = renderChannel(channel, block.data(), kBlockFrames, outStart) || sounding;
                mixInto(mix.data(), block.data(), mix.size());
            }
            active.clear();
            ring->write(mix.data(), kBlockFrames);
            if (sounding) {
                lastSoundEnd = ring->writtenTotal();
            }
        }
    }

    // The device's real-time callback lands here: it only copies mixed frames out of the
    // lock-free ring (silence when the mixer fell behind). No allocation, no lock, no I/O:
    // decoding, resampling and mixing all run ahead on the engine thread.
    static void render(void* user, float* out, std::size_t frames) {
        auto* self = static_cast<Impl*>(user);
        const std::size_t got = self->ring->read(out, frames);
        std::fill(out + got * 2, out + frames * 2, 0.0f);
    }

    void run() {
        // Above ordinary work, so a busy machine does not starve the ring. The thread never
        // waits for the interface thread: it takes only short locks the callers hold briefly.
        mixerPriority = raiseThreadPriority();
        const auto period = std::chrono::milliseconds(std::clamp(options.bufferMs / 5, 2, 20));
        std::unique_lock lock(wakeMutex);
        while (running) {
            lock.unlock();
            serviceOutput();
            lock.lock();
            wakeCondition.wait_for(lock, period, [this] { return wake || !running; });
            wake = false;
        }
    }

    /// Mixer thread: keeps the ring filled while the output runs, starts the output when a
    /// channel was asked to play, and stops it once nothing has sounded for a while, so an
    /// idle editor holds no running stream (and a busy machine can make it underrun nothing).
    void serviceOutput() {
        const bool startWanted = startRequested.exchange(false);
        if (!outputRunning.load() && !startWanted) {
            return;
        }
        pump(); // a starting output finds the first sound ready in the ring
        std::lock_guard lock(outputMutex);
        if (!output) {
            return;
        }
        if (!outputRunning.load()) {
            if (startWanted) { // not when stop() stopped it meanwhile
                startOutput();
            }
            return;
        }
        const auto idleFrames =
            static_cast<std::uint64_t>(outputRate.load()) * kIdleStopMs / 1000;
        if (!startWanted && heardOut() >= lastSoundEnd + idleFrames) {
            output->stop(); // returns once the device has played what it holds
            outputRunning = false;
            // Only silence is left in the ring; the next Play starts with its own sound.
            ring->discard();
        }
    }

    /// Starts the output (under outputMutex).
    void startOutput() {
        readAtStart = ring->readTotal();
        outputRunning = true;
        if (!output->start()) {
            outputRunning = false;
            return;
        }
        // The idle time counts from the start.
        lastSoundEnd = std::max(lastSoundEnd, ring->writtenTotal());
    }

    /// Stops the output (under outputMutex); what it took from the ring counts as heard.
    void stopOutput() {
        if (output && outputRunning.load()) {
            output->stop();
            outputRunning = false;
        }
    }

    void wakeMixer() {
        {
            std::lock_guard lock(wakeMutex);
            wake = true;
        }
        wakeCondition.notify_one();
    }

    /// A channel was asked to play: the mixer thread starts the output (at once with a manual
    /// clock, which has no mixer thread).
    void requestOutput() {
        if (mixer.joinable()) {
            startRequested = true;
            wakeMixer();
            return;
        }
        std::lock_guard lock(outputMutex);
        if (output && !outputRunning.load()) {
            startOutput();
        }
    }

    void shutdown() {
        {
            std::lock_guard lock(wakeMutex);
            running = false;
        }
        wakeCondition.notify_one();
        if (mixer.joinable()) {
            mixer.join();
        }
        {
            std::lock_guard lock(outputMutex);
            if (output && outputRunning.load()) {
                output->abort();
            }
            output.reset();
        }
        outputRunning = false;
        startRequested = false;
        nullOutput = nullptr;
        outputRate = 0;
        std::unordered_map<ChannelHandle, std::shared_ptr<Channel>> gone;
        {
            std::lock_guard lock(tableMutex);
            gone.swap(channels);
        }
        std::lock_guard fireLock(fireMutex);
        for (auto& [handle, channel] : gone) {
            std::lock_guard lock(channel->mutex);
            release(*channel);
        }
    }

    EngineOptions options;
    mutable PiMutex tableMutex;
    std::unordered_map<ChannelHandle, std::shared_ptr<Channel>> channels;
    ChannelHandle nextHandle = 1;
    std::atomic<SyncHandle> nextSync{1};
    RecursivePiMutex fireMutex; // held while sync callbacks run; they may re-enter

    std::mutex outputMutex; // held while the output starts or stops
    std::unique_ptr<Output> output;
    NullOutput* nullOutput = nullptr; // output, when it is the null output
    std::atomic<bool> outputRunning{false};
    std::atomic<bool> startRequested{false};
    std::atomic<std::uint64_t> readAtStart{0}; // ring's read total when the output started
    std::uint64_t lastSoundEnd = 0;            // output frame after the last one with sound
    ThreadPriority mixerPriority = ThreadPriority::Normal;
    std::atomic<int> outputRate{0};
    std::size_t latencyFrames = 0;
    std::unique_ptr<FrameRing> ring;
    std::size_t targetFrames = 0;

    PiMutex pumpMutex;
    std::vector<std::shared_ptr<Channel>> active;
    std::vector<float> mix = std::vector<float>(kBlockFrames * 2);
    std::vector<float> block = std::vector<float>(kBlockFrames * 2);

    std::thread mixer;
    PiMutex wakeMutex;
    std::condition_variable_any wakeCondition;
    bool running = false;
    bool wake = false;
};

Engine::Engine(EngineOptions options) : impl_(std::make_unique<Impl>(options)) {}

Engine::~Engine() {
    impl_->shutdown();
}

std::uint32_t Engine::version() {
    return 0x02040000u;
}

bool Engine::init(int device, int sampleRate) {
    Impl& d = *impl_;
    if (d.output) {
        return d.output->isDevice();
    }
    if (sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate) {
        sampleRate = 44100;
    }
    if (d.options.openDevice && !d.options.manualClock) {
        d.output = openDeviceOutput(device, sampleRate, &Impl::render, &d);
    }
    if (!d.output) {
        auto null =
            std::make_unique<NullOutput>(sampleRate, d.options.manualClock, &Impl::render, &d);
        d.nullOutput = null.get();
        d.output = std::move(null);
    }
    const int rate = d.output->rate();
    d.outputRate = rate;
    d.latencyFrames = d.output->latencyFrames();
    // Ready beyond what the device holds: a starting device takes its whole buffer at once,
    // and the mix-ahead must still cover the mixer's own delays after that.
    d.targetFrames = std::max<std::size_t>(
        kBlockFrames, d.latencyFrames + static_cast<std::size_t>(rate) *
                                            static_cast<std::size_t>(std::max(d.options.bufferMs, 1)) /
                                            1000);
    d.ring = std::make_unique<FrameRing>(d.targetFrames + 2 * kBlockFrames, 2);
    d.lastSoundEnd = 0;
    if (d.options.manualClock) {
        // The test clock: the output runs from the start, with a full buffer.
        d.pump();
        d.requestOutput();
    } else {
        // The output starts with the first play().
        d.running = true;
        d.mixer = std::thread([&d] { d.run(); });
    }
    return d.output->isDevice();
}

bool Engine::hasDevice() const {
    return impl_->output && impl_->output->isDevice();
}

bool Engine::isOutputRunning() const {
    return impl_->outputRunning.load();
}

int Engine::outputRate() const {
    return impl_->outputRate.load();
}

std::string Engine::outputDescription() const {
    return impl_->output ? impl_->output->description() : std::string();
}

void Engine::stop() {
    Impl& d = *impl_;
    std::vector<std::shared_ptr<Channel>> all;
    {
        std::lock_guard lock(d.tableMutex);
        for (const auto& [handle, channel] : d.channels) {
            all.push_back(channel);
        }
    }
    for (const auto& channel : all) {
        std::lock_guard lock(channel->mutex);
        if (d.stateOf(*channel) == ChannelState::Playing && !channel->info.isDecode) {
            channel->state = ChannelState::Paused;
        }
    }
    std::lock_guard lock(d.outputMutex);
    d.startRequested = false;
    d.stopOutput();
}

void Engine::free() {
    impl_->shutdown();
}

ChannelHandle Engine::loadModule(const std::filesystem::path& file, ChannelFlags flags) {
    return impl_->add(openModuleDecoder(ByteSource::openFile(file), impl_->moduleRate(),
                                        hasFlag(flags, ChannelFlags::StopOnBackwardJump)),
                      true, flags);
}

ChannelHandle Engine::createStream(const std::filesystem::path& file, ChannelFlags flags) {
    return impl_->add(
        openStreamDecoder(ByteSource::openFile(file), hasFlag(flags, ChannelFlags::Prescan)), false,
        flags);
}

ChannelHandle Engine::createStream(std::span<const std::byte> bytes, ChannelFlags flags) {
    return impl_->add(openStreamDecoder(ByteSource::fromMemory({bytes.begin(), bytes.end()}),
                                        hasFlag(flags, ChannelFlags::Prescan)),
                      false, flags);
}

bool Engine::freeModule(ChannelHandle channel) {
    return impl_->remove(channel, true);
}

bool Engine::freeStream(ChannelHandle channel) {
    return impl_->remove(channel, false);
}

std::optional<ChannelInfo> Engine::info(ChannelHandle channel) const {
    const auto ch = impl_->find(channel);
    if (!ch) {
        return std::nullopt;
    }
    return ch->info; // fixed at creation
}

std::int64_t Engine::length(ChannelHandle channel) const {
    const auto ch = impl_->find(channel);
    if (!ch) {
        return -1;
    }
    std::lock_guard lock(ch->mutex);
    return static_cast<std::int64_t>(ch->lengthFrames * ch->frameBytes());
}

std::int64_t Engine::position(ChannelHandle channel) const {
    const auto ch = impl_->find(channel);
    if (!ch) {
        return -1;
    }
    std::lock_guard lock(ch->mutex);
    const std::uint64_t frame =
        ch->info.isDecode ? ch->pos : ch->heard.heardFrame(impl_->heardOut(), ch->mixFrame());
    return static_cast<std::int64_t>(frame * ch->frameBytes());
}

bool Engine::setPosition(ChannelHandle channel, std::int64_t bytes) {
    const auto ch = impl_->find(channel);
    if (!ch || bytes < 0) {
        return false;
    }
    std::lock_guard lock(ch->mutex);
    return !ch->freed && ch->seekTo(static_cast<std::uint64_t>(bytes) / ch->frameBytes());
}

double Engine::bytesToSeconds(ChannelHandle channel, std::int64_t bytes) const {
    const auto ch = impl_->find(channel);
    if (!ch) {
        return -1.0;
    }
    return static_cast<double>(bytes) /
           (static_cast<double>(ch->info.sampleRate) * static_cast<double>(ch->frameBytes()));
}

std::uint32_t Engine::getData(ChannelHandle channel, float* buffer, std::uint32_t bytes) {
    const auto ch = impl_->find(channel);
    if (!ch || !ch->info.isDecode) {
        return kDataError;
    }
    std::unique_lock lock(ch->mutex);
    if (ch->freed || ch->dataEnded) {
        return kDataError;
    }
    const std::size_t frames = bytes / ch->frameBytes();
    if (frames > 0 && buffer == nullptr) {
        return kDataError;
    }
    std::size_t done = 0;
    while (done < frames && !ch->freed) {
        bool hit = false;
        const std::size_t got = ch->pull(
            buffer + done * static_cast<std::size_t>(ch->info.channels), frames - done, hit);
        done += got;
        if (hit) {
            const std::uint64_t at = ch->pos;
            lock.unlock();
            impl_->fire(ch, at);
            lock.lock();
            continue;
        }
        if (got == 0) {
            break;
        }
    }
    return static_cast<std::uint32_t>(done * ch->frameBytes());
}

ChannelState Engine::isActive(ChannelHandle channel) const {
    const auto ch = impl_->find(channel);
    if (!ch) {
        return ChannelState::Stopped;
    }
    std::lock_guard lock(ch->mutex);
    return impl_->stateOf(*ch);
}

bool Engine::play(ChannelHandle channel, bool restart) {
    Impl& d = *impl_;
    const auto ch = d.find(channel);
    if (!ch || ch->info.isDecode || !d.output) {
        return false;
    }
    {
        std::lock_guard lock(ch->mutex);
        if (ch->freed) {
            return false;
        }
        const ChannelState state = d.stateOf(*ch);
        if (restart || ch->mixEnded) {
            if (!ch->seekTo(0)) {
                return false;
            }
        } else if (state == ChannelState::Playing) {
            return true;
        }
        ch->restartResampler();
        ch->state = ChannelState::Playing;
    }
    d.requestOutput();
    return true;
}

bool Engine::pause(ChannelHandle channel) {
    const auto ch = impl_->find(channel);
    if (!ch || ch->info.isDecode) {
        return false;
    }
    std::lock_guard lock(ch->mutex);
    if (impl_->stateOf(*ch) != ChannelState::Playing) {
        return false;
    }
    ch->state = ChannelState::Paused;
    return true;
}

bool Engine::stop(ChannelHandle channel) {
    const auto ch = impl_->find(channel);
    if (!ch || ch->info.isDecode) {
        return false;
    }
    std::lock_guard lock(ch->mutex);
    ch->state = ChannelState::Stopped;
    ch->draining = false;
    return true;
}

SyncHandle Engine::setSync(ChannelHandle channel, std::int64_t bytes, SyncCallback callback,
                           std::uintptr_t user) {
    const auto ch = impl_->find(channel);
    if (!ch || bytes < 0 || !callback) {
        return 0;
    }
    auto sync = std::make_shared<Sync>();
    sync->handle = impl_->nextSync++;
    if (sync->handle == 0) {
        sync->handle = impl_->nextSync++;
    }
    sync->frame = static_cast<std::uint64_t>(bytes) / ch->frameBytes();
    sync->callback = std::move(callback);
    sync->user = user;
    std::lock_guard lock(ch->mutex);
    if (ch->freed) {
        return 0;
    }
    ch->syncs.push_back(sync);
    return sync->handle;
}

bool Engine::removeSync(ChannelHandle channel, SyncHandle sync) {
    const auto ch = impl_->find(channel);
    if (!ch || sync == 0) {
        return false;
    }
    // Waits for a callback under way, so none runs once this returns.
    std::lock_guard fire(impl_->fireMutex);
    std::lock_guard lock(ch->mutex);
    const auto it = std::find_if(ch->syncs.begin(), ch->syncs.end(),
                                 [sync](const auto& s) { return s->handle == sync; });
    if (it == ch->syncs.end()) {
        return false;
    }
    (*it)->removed = true;
    ch->syncs.erase(it);
    return true;
}

std::size_t Engine::advanceClock(std::size_t frames, std::vector<float>* received) {
    Impl& d = *impl_;
    if (d.nullOutput == nullptr || !d.nullOutput->manualClock()) {
        return 0;
    }
    std::vector<float> scratch(kBlockFrames * 2);
    std::size_t done = 0;
    while (done < frames) {
        d.pump();
        const std::size_t n = std::min(frames - done, kBlockFrames);
        d.nullOutput->advance(scratch.data(), n);
        if (received != nullptr) {
            received->insert(received->end(), scratch.begin(), scratch.begin() + n * 2);
        }
        done += n;
    }
    return done;
}

} // namespace tavrela::audio
