#include "engine_waveform_source.h"

#include <algorithm>

namespace tavrela {

EngineWaveformSource::EngineWaveformSource(audio::Engine& engine, audio::ChannelHandle channel)
    : engine_(engine), channel_(channel) {
    const auto info = engine.info(channel);
    channels_ = info ? info->channels : 0;
}

std::uint64_t EngineWaveformSource::LengthBytes() const {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(0, engine_.length(channel_)));
}

std::uint64_t EngineWaveformSource::PositionBytes() const {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(0, engine_.position(channel_)));
}

bool EngineWaveformSource::Active() const {
    return engine_.isActive(channel_) != audio::ChannelState::Stopped;
}

bool EngineWaveformSource::Seek(std::uint64_t frame) {
    const auto bytes = static_cast<std::int64_t>(frame * static_cast<std::uint64_t>(channels_) * 4);
    return channels_ > 0 && engine_.setPosition(channel_, bytes);
}

std::uint32_t EngineWaveformSource::Read(float* buffer, std::uint32_t bytes) {
    return engine_.getData(channel_, buffer, bytes);
}

} // namespace tavrela
