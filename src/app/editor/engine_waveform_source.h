#pragma once
// A decoding channel of the audio engine as the waveform decode reads it.

#include "waveform_decode.h"

#include <audio/engine.h>

namespace tavrela {

class EngineWaveformSource final : public WaveformSource {
public:
    EngineWaveformSource(audio::Engine& engine, audio::ChannelHandle channel);
    int Channels() const override { return channels_; }
    std::uint64_t LengthBytes() const override;
    std::uint64_t PositionBytes() const override;
    bool Active() const override;
    std::uint32_t Read(float* buffer, std::uint32_t bytes) override;
    bool Seek(std::uint64_t frame) override;

private:
    audio::Engine& engine_;
    audio::ChannelHandle channel_;
    int channels_ = 0;
};

} // namespace tavrela
