// The decode loop on a scripted source: layout of the curves, growth past the allowance, and
// the ends of the loop.
#include <app/editor/waveform_decode.h>
#include <display/model/graph_data.h>
#include <display/model/sample_summary.h>

#include <gtest/gtest.h>

#include <vector>

namespace tavrela {
namespace {

// Delivers `frames` frames whose sample of channel c in frame n is n * 10 + c, while claiming
// a length of `claimedFrames`; after `errorAfterBlocks` blocks it answers with the error value.
class ScriptedSource final : public WaveformSource {
public:
    ScriptedSource(int channels, std::uint64_t frames, std::uint64_t claimedFrames,
                   int errorAfterBlocks = -1)
        : channels_(channels), frames_(frames), claimed_(claimedFrames),
          errorAfter_(errorAfterBlocks) {}
    int Channels() const override { return channels_; }
    std::uint64_t LengthBytes() const override { return claimed_ * channels_ * 4; }
    std::uint64_t PositionBytes() const override { return next_ * channels_ * 4; }
    bool Active() const override { return next_ < frames_; }
    bool Seek(std::uint64_t frame) override {
        ++seeks_;
        if (frame > frames_) {
            return false;
        }
        next_ = frame;
        return true;
    }
    std::uint32_t Read(float* buffer, std::uint32_t bytes) override {
        if (errorAfter_ >= 0 && blocks_ >= errorAfter_) {
            return kWaveformReadError;
        }
        ++blocks_;
        const std::uint64_t want = bytes / 4 / channels_;
        const std::uint64_t n = std::min(want, frames_ - next_);
        for (std::uint64_t j = 0; j < n; ++j) {
            for (int c = 0; c < channels_; ++c) {
                buffer[j * channels_ + c] = static_cast<float>((next_ + j) * 10 + c);
            }
        }
        next_ += n;
        return static_cast<std::uint32_t>(n * channels_ * 4);
    }
    int blocks_ = 0;
    int seeks_ = 0;

private:
    int channels_;
    std::uint64_t frames_, claimed_;
    int errorAfter_;
    std::uint64_t next_ = 0;
};

std::uint64_t Decode(ScriptedSource& source, std::vector<TGraphData>& curves,
                     std::vector<int>* progress = nullptr) {
    std::vector<TGraphData*> targets;
    for (TGraphData& c : curves) {
        targets.push_back(&c);
    }
    return DecodeWaveformInto(source, targets, [progress](int p) {
        if (progress) {
            progress->push_back(p);
        }
    });
}

void ExpectLayout(const std::vector<TGraphData>& curves, std::uint64_t frames) {
    for (std::size_t c = 0; c < curves.size(); ++c) {
        ASSERT_EQ(curves[c].Length(), frames) << "curve " << c;
        for (std::uint64_t n = 0; n < frames; n += 97) {
            ASSERT_EQ(curves[c][n].Value, static_cast<float>(n * 10 + c)) << n;
            ASSERT_EQ(curves[c][n].Color, 0u);
            ASSERT_EQ(curves[c][n].PeakColor, 0u);
        }
        EXPECT_EQ(curves[c][frames - 1].Value, static_cast<float>((frames - 1) * 10 + c));
    }
}

TEST(EditorDecode, CurvesTakeOneChannelEachAndAreCutToTheDecodedLength) {
    struct Case {
        int channels;
        std::uint64_t frames;
    };
    for (const Case& c : {Case{1, 44100}, Case{2, 1000}, Case{6, 5 * 512 + 3}}) {
        ScriptedSource source(c.channels, c.frames, c.frames);
        std::vector<TGraphData> curves(c.channels);
        std::vector<int> progress;
        EXPECT_EQ(Decode(source, curves, &progress), c.frames);
        ExpectLayout(curves, c.frames);
        // Progress once per block, rising to 100.
        EXPECT_EQ(progress.size(), static_cast<std::size_t>(source.blocks_));
        EXPECT_EQ(progress.back(), 100);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    }
}

TEST(EditorDecode, AllowanceIsTheExpectedFrameCountPlusTwentyPercent) {
    // 180 s of stereo at 44100 Hz: 63 504 000 bytes, 7 938 000 frames.
    EXPECT_EQ(InitialSampleCapacity(63504000, 2), 9525600u);
    EXPECT_EQ(InitialSampleCapacity(0, 2), 0u);
    EXPECT_EQ(InitialSampleCapacity(4000, 0), 0u);
}

TEST(EditorDecode, ASourceLongerThanTheAllowanceGrowsTheArrays) {
    // Claims 1000 frames, delivers 10 000: far past the 1 200 allocated.
    ScriptedSource source(2, 10000, 1000);
    std::vector<TGraphData> curves(2);
    EXPECT_EQ(Decode(source, curves), 10000u);
    ExpectLayout(curves, 10000);
}

TEST(EditorDecode, TheErrorValueEndsTheDecodeWithWhatWasRead) {
    ScriptedSource source(2, 100000, 100000, 3);
    std::vector<TGraphData> curves(2);
    EXPECT_EQ(Decode(source, curves), 3u * kWaveformBlockFrames);
    ExpectLayout(curves, 3 * kWaveformBlockFrames);

    // An error on the first read leaves empty curves.
    ScriptedSource failing(2, 100000, 100000, 0);
    std::vector<TGraphData> empty(2);
    EXPECT_EQ(Decode(failing, empty), 0u);
    EXPECT_EQ(empty[0].Length(), 0u);
}

TEST(EditorDecode, SummariesHoldEachChannelsExtremes) {
    // Channel c of frame n is n * 10 + c: every block's extremes are its first and last frame.
    ScriptedSource source(2, 5 * 512 + 3, 5 * 512 + 3);
    std::vector<TSampleSummary> summaries(2);
    std::vector<TSampleSummary*> targets = {&summaries[0], &summaries[1]};
    std::vector<int> progress;
    EXPECT_EQ(DecodeWaveformSummaries(source, targets, [&](int p) { progress.push_back(p); }),
              5u * 512 + 3);
    EXPECT_EQ(progress.back(), 100);
    for (int c = 0; c < 2; ++c) {
        const TSampleSummary& s = summaries[static_cast<std::size_t>(c)];
        ASSERT_EQ(s.Length(), 5u * 512 + 3);
        EXPECT_EQ(s.Blocks(0, 3, 4), (TSamplePeak{96.0f * 10 + c, 127.0f * 10 + c}));
        EXPECT_EQ(s.Whole(), (TSamplePeak{static_cast<float>(c), (5 * 512 + 2) * 10.0f + c}));
    }
}

TEST(EditorDecode, RangesAreReadAgainFromTheSource) {
    ScriptedSource source(3, 100000, 100000);
    SampleRangeReader reader;
    std::vector<float> out(700);
    EXPECT_EQ(reader.Read(0, 0, out.data(), out.size()), 0u); // no source yet
    reader.SetSource(&source);
    // A range of channel 1, then channel 2 of the same range from what was kept.
    ASSERT_EQ(reader.Read(1, 41000, out.data(), 700), 700u);
    for (std::size_t j = 0; j < 700; ++j) {
        ASSERT_EQ(out[j], static_cast<float>((41000 + j) * 10 + 1)) << j;
    }
    ASSERT_EQ(reader.Read(2, 41100, out.data(), 100), 100u);
    EXPECT_EQ(out[0], static_cast<float>(41100 * 10 + 2));
    EXPECT_EQ(source.seeks_, 1);
    // Backwards, and past the end: what there is.
    ASSERT_EQ(reader.Read(0, 10, out.data(), 5), 5u);
    EXPECT_EQ(out[4], 140.0f);
    EXPECT_EQ(reader.Read(0, 99990, out.data(), 700), 10u);
    EXPECT_EQ(out[9], 999990.0f);
    EXPECT_EQ(reader.Read(0, 200000, out.data(), 10), 0u); // the seek fails
    EXPECT_EQ(reader.Read(3, 0, out.data(), 10), 0u);      // no such channel
}

} // namespace
} // namespace tavrela
