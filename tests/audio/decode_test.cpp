// Decode channels: the editor's block loop, the module loader, and files that are not what
// they claim to be.

#include "audio_fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <fstream>
#include <random>

namespace tavrela::audio::test {
namespace {

constexpr auto kDecodeFlags = ChannelFlags::Float | ChannelFlags::Prescan | ChannelFlags::Decode;

EngineOptions manual() {
    EngineOptions options;
    options.openDevice = false;
    options.manualClock = true;
    return options;
}

/// The editor's loop: blocks of 512 frames while the channel is active; returns the bytes
/// read, stopping at the error value.
std::uint64_t blockLoop(Engine& engine, ChannelHandle h) {
    const int chans = engine.info(h)->channels;
    std::vector<float> block(static_cast<std::size_t>(chans) * 512);
    std::uint64_t total = 0;
    int guard = 0;
    while (engine.isActive(h) != ChannelState::Stopped && ++guard < 1000000) {
        const std::uint32_t got = engine.getData(h, block.data(), chans * 2048u);
        if (got == kDataError) {
            break;
        }
        total += got;
    }
    return total;
}

TEST(DecodeChannel, BlockLoopReadsExactlyTheLength) {
    TempDir dir;
    const auto wav = makeWav(dir, "a.wav", 44100, 2, 3.0, "sine 440");
    const auto six = makeWav(dir, "six.wav", 48000, 6, 0.5, "whitenoise");
    const auto cbr = makeMp3(dir, wav, "cbr.mp3", "-b 192");
    const auto vbr = makeMp3(dir, wav, "vbr.mp3", "-V 2");
    Engine engine(manual());
    for (const auto& file : {wav, six, cbr, vbr}) {
        SCOPED_TRACE(file.filename());
        const ChannelHandle h = engine.createStream(file, kDecodeFlags);
        ASSERT_NE(h, 0u);
        const std::int64_t length = engine.length(h);
        // Gapless MPEG decoding gives back exactly the frames that went in.
        const int chans = engine.info(h)->channels;
        const int rate = engine.info(h)->sampleRate;
        EXPECT_EQ(length, file == six ? 24000LL * 6 * 4 : 3LL * rate * chans * 4);
        EXPECT_EQ(blockLoop(engine, h), static_cast<std::uint64_t>(length));
        EXPECT_EQ(engine.position(h), length);
        EXPECT_EQ(engine.isActive(h), ChannelState::Stopped);
        float spare[4];
        EXPECT_EQ(engine.getData(h, spare, sizeof spare), kDataError);
        EXPECT_FALSE(engine.play(h));
        EXPECT_FALSE(engine.freeModule(h)); // a stream is not freed as a module
        EXPECT_TRUE(engine.freeStream(h));
    }
}

TEST(DecodeChannel, PlaybackAndDecodeChannelsAgreeOnLength) {
    TempDir dir;
    const auto mp3 =
        makeMp3(dir, makeWav(dir, "a.wav", 44100, 2, 2.5, "whitenoise"), "a.mp3", "-V 5");
    Engine engine(manual());
    engine.init();
    const ChannelHandle play =
        engine.createStream(mp3, ChannelFlags::Float | ChannelFlags::Prescan);
    const ChannelHandle decode = engine.createStream(mp3, kDecodeFlags);
    EXPECT_EQ(engine.length(play), engine.length(decode));
    EXPECT_EQ(engine.bytesToSeconds(play, engine.length(play)), 2.5);
}

TEST(Modules, AModuleLoadsAndOtherFilesAreNotModules) {
    TempDir dir;
    const auto mod = writeFile(dir, "tone.mod", makeModule());
    const auto wav = makeWav(dir, "a.wav", 44100, 2, 0.5, "sine 440");
    const auto mp3 = makeMp3(dir, wav, "a.mp3", "-b 128");
    Engine engine(manual());
    engine.init(-1, 44100);

    const ChannelHandle m = engine.loadModule(mod, kDecodeFlags | ChannelFlags::StopOnBackwardJump);
    ASSERT_NE(m, 0u);
    EXPECT_EQ(engine.info(m), (ChannelInfo{2, 44100, true, true}));
    EXPECT_GT(engine.length(m), 0);
    EXPECT_EQ(blockLoop(engine, m), static_cast<std::uint64_t>(engine.length(m)));
    EXPECT_FALSE(engine.freeStream(m)); // a module is not freed as a stream
    EXPECT_TRUE(engine.freeModule(m));

    const ChannelHandle p = engine.loadModule(mod, ChannelFlags::Float | ChannelFlags::Prescan);
    ASSERT_NE(p, 0u);
    EXPECT_TRUE(engine.play(p));
    std::vector<float> out;
    engine.advanceClock(20000, &out);
    EXPECT_TRUE(std::any_of(out.begin(), out.end(), [](float v) { return v != 0.0f; }));

    EXPECT_EQ(engine.loadModule(wav, kDecodeFlags), 0u);
    EXPECT_EQ(engine.loadModule(mp3, kDecodeFlags), 0u);
    EXPECT_EQ(engine.loadModule(dir / "missing.mod", kDecodeFlags), 0u);
}

TEST(BadFiles, FailCleanlyOrEndTheData) {
    TempDir dir;
    const auto wav = makeWav(dir, "a.wav", 44100, 2, 2.0, "whitenoise");
    const auto mp3 = makeMp3(dir, wav, "a.mp3", "-b 128");
    std::ifstream in(mp3, std::ios::binary);
    std::vector<char> mp3Bytes((std::istreambuf_iterator<char>(in)), {});
    std::ifstream inWav(wav, std::ios::binary);
    std::vector<char> wavBytes((std::istreambuf_iterator<char>(inWav)), {});
    std::mt19937 random(7);
    auto asBytes = [](const std::vector<char>& v) {
        std::vector<std::byte> b(v.size());
        std::memcpy(b.data(), v.data(), v.size());
        return b;
    };
    std::vector<std::byte> garbage(50000);
    for (auto& b : garbage) {
        b = static_cast<std::byte>(random());
    }
    std::vector<char> junkInside = mp3Bytes;
    for (std::size_t i = junkInside.size() / 3; i < junkInside.size() / 2; ++i) {
        junkInside[i] = static_cast<char>(random());
    }

    struct Case {
        const char* name;
        std::vector<std::byte> bytes;
        bool opens;
    };
    const Case cases[] = {
        {"empty", {}, false},
        {"garbage", garbage, false},
        {"truncated mp3", asBytes({mp3Bytes.begin(), mp3Bytes.begin() + mp3Bytes.size() / 3}),
         true},
        {"truncated wav", asBytes({wavBytes.begin(), wavBytes.begin() + wavBytes.size() / 3}),
         true},
        {"wav header only", asBytes({wavBytes.begin(), wavBytes.begin() + 44}), true},
        {"junk inside mp3", asBytes(junkInside), true},
    };
    Engine engine(manual());
    engine.init();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = writeFile(dir, "case.bin", c.bytes);
        EXPECT_EQ(engine.loadModule(file, kDecodeFlags), 0u);
        const ChannelHandle h = engine.createStream(file, kDecodeFlags);
        if (!c.opens) {
            // Random bytes may still hold something that decodes as MPEG audio; then the
            // data must simply end.
            if (h != 0) {
                blockLoop(engine, h);
                EXPECT_EQ(engine.isActive(h), ChannelState::Stopped);
            }
            continue;
        }
        ASSERT_NE(h, 0u);
        EXPECT_LE(blockLoop(engine, h), static_cast<std::uint64_t>(engine.length(h)));
        EXPECT_EQ(engine.isActive(h), ChannelState::Stopped);
        // Playing the same file reaches its end too.
        const ChannelHandle p =
            engine.createStream(file, ChannelFlags::Float | ChannelFlags::Prescan);
        ASSERT_NE(p, 0u);
        ASSERT_TRUE(engine.play(p));
        engine.advanceClock(120000);
        EXPECT_EQ(engine.isActive(p), ChannelState::Stopped);
        EXPECT_FALSE(engine.setPosition(p, engine.length(p) + 8));
        engine.freeStream(p);
        engine.freeStream(h);
    }
    EXPECT_EQ(engine.createStream(dir / "missing.mp3", kDecodeFlags), 0u);
    EXPECT_EQ(engine.createStream(dir.path(), kDecodeFlags), 0u); // a folder
    EXPECT_EQ(engine.loadModule(dir.path(), kDecodeFlags), 0u);
}

TEST(BadFiles, AFifoOrADeviceIsRefusedWithoutWaitingForAWriter) {
    TempDir dir;
    const auto fifo = dir / "pipe.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Engine engine(manual());
    engine.init();
    for (const std::filesystem::path& file : {fifo, std::filesystem::path("/dev/zero")}) {
        auto opened = std::async(std::launch::async, [&] {
            return std::pair(engine.loadModule(file, kDecodeFlags),
                             engine.createStream(file, kDecodeFlags));
        });
        if (opened.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            // Release the reader blocked in open() so the test can end, and fail.
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            ADD_FAILURE() << file << " blocked the loader";
            opened.wait();
            ::close(writer);
        }
        EXPECT_EQ(opened.get(), std::pair(ChannelHandle{0}, ChannelHandle{0})) << file;
    }
}

TEST(BadFiles, AFileThatShrinksWhileOpenEndsTheData) {
    TempDir dir;
    // Larger than the reader's 64 KB window, so most of it is read after the change.
    const auto mp3 =
        makeMp3(dir, makeWav(dir, "a.wav", 44100, 2, 20.0, "whitenoise"), "a.mp3", "-b 128");
    Engine engine(manual());
    engine.init();
    const ChannelHandle h = engine.createStream(mp3, kDecodeFlags);
    ASSERT_NE(h, 0u);
    const std::int64_t length = engine.length(h);
    std::filesystem::resize_file(mp3, std::filesystem::file_size(mp3) / 4);
    EXPECT_LT(blockLoop(engine, h), static_cast<std::uint64_t>(length));
    EXPECT_EQ(engine.isActive(h), ChannelState::Stopped);
    engine.setPosition(h, length / 2); // may fail past the new end; must not crash
    blockLoop(engine, h);
}

} // namespace
} // namespace tavrela::audio::test
