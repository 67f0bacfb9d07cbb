#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/audio_internal.h"
#include "platform/log.h"
#include "test_util.h"

// ---- the mixer on its own ----

struct MixerDeleter {
    void operator()(Mixer *m) const { mixer_free(m); }
};
using MixerPtr = std::unique_ptr<Mixer, MixerDeleter>;

static MixerPtr make_mixer(int channels, int limit = 16, int rate = 22050, int block = 64) {
    Mixer *m = mixer_create(rate, channels, limit, block);
    EXPECT_NE(m, nullptr);
    return MixerPtr(m);
}

static std::vector<uint8_t> mix_u8(Mixer *m, int samples) {
    std::vector<uint8_t> out((size_t)samples * (size_t)m->channels);
    mixer_mix_u8(m, out.data(), samples);
    return out;
}

static std::vector<int16_t> mix_s16(Mixer *m, int samples) {
    std::vector<int16_t> out((size_t)samples * (size_t)m->channels);
    mixer_mix_s16(m, out.data(), samples);
    return out;
}

// A voice of length copies of byte.
static ZolmVoice *constant_voice(Mixer *m, int length, uint8_t byte) {
    std::vector<uint8_t> data((size_t)length, byte);
    return mixer_voice_create(m, length, data.data(), 0);
}

// The smallest volume whose mono level is level.
static int volume_for_level(int level) {
    int volume = 0;
    while (mixer_gain_level(volume, -32768, 0) < level) volume++;
    return volume;
}

static bool listed_at(Mixer *m, const ZolmVoice *v, int side, int level) {
    for (MixSide *s = m->level_head[level]; s; s = s->next)
        if (s == &v->sides[side]) return true;
    return false;
}

TEST(Mixer, GainLevelsFromVolumeAndPan) {
    struct Case {
        int volume, pan;
        int left, right;   // stereo levels
        int mono;
    };
    const Case cases[] = {
        {32767, 0, 15, 15, 31},     {32767, -32768, 31, 0, 31},  {32767, 32767, 0, 31, 31},
        {0, 0, 0, 0, 0},            {0, -32768, 0, 0, 0},        {16384, 0, 7, 8, 15},
        {32767, 16384, 7, 23, 31},  {1000, -32768, 0, 0, 0},     {2049, -32768, 2, 0, 2},
        {40000, -40000, 31, 0, 31}, // out of range: clamped to 32767 and -32768
        {-5, 32767, 0, 0, 0},
    };
    MixerPtr stereo = make_mixer(2), mono = make_mixer(1);
    ZolmVoice *s = constant_voice(stereo.get(), 4, 128);
    ZolmVoice *m = constant_voice(mono.get(), 4, 128);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
        for (ZolmVoice *v : {s, m}) {
            mixer_voice_set_volume(v, c.volume);
            mixer_voice_set_pan(v, c.pan);
        }
        EXPECT_EQ(c.left, s->sides[0].level);
        EXPECT_EQ(c.right, s->sides[1].level);
        EXPECT_EQ(c.mono, m->sides[0].level);
    }
    EXPECT_TRUE(s->flags & VOICE_STEREO);
    EXPECT_FALSE(m->flags & VOICE_STEREO);
}

TEST(Mixer, LevelTableEndpoints) {
    const int cases[][3] = {   // level, byte, value
        {31, 0, -124}, {31, 255, 123}, {31, 128, 0}, {31, 127, 0},  {1, 0, -4},   {1, 255, 3},
        {1, 127, 0},   {16, 0, -64},   {16, 255, 63}, {20, 160, 20}, {0, 0, 0},    {0, 255, 0},
    };
    for (const auto &c : cases) EXPECT_EQ(c[2], mixer_level_value(c[0], c[1])) << c[0] << " " << c[1];
}

TEST(Mixer, OutputClamping) {
    const int cases[][3] = {   // accumulator, 8-bit, 16-bit
        {-1000, 0, -32512}, {-128, 0, -32512},  {-127, 1, -32512}, {-126, 2, -32256}, {0, 128, 0},
        {1, 129, 256},      {126, 254, 32256},  {127, 255, 32512}, {1000, 255, 32512},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c[1], mixer_output_u8(c[0])) << c[0];
        EXPECT_EQ(c[2], mixer_output_s16(c[0])) << c[0];
    }
}

TEST(Mixer, SeveralLoudVoicesClip) {
    struct Case {
        int voices;
        uint8_t byte;
        uint8_t u8;
        int16_t s16;
    };
    const Case cases[] = {
        {1, 255, 251, 123 * 256}, {2, 255, 255, 32512},  {3, 255, 255, 32512}, {1, 0, 4, -124 * 256},
        {2, 0, 0, -32512},        {2, 192, 252, 124 * 256}, {3, 192, 255, 32512},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.voices << " voices of byte " << (int)c.byte);
        for (int bits : {8, 16}) {
            MixerPtr m = make_mixer(1);
            for (int i = 0; i < c.voices; i++) mixer_voice_play(constant_voice(m.get(), 100, c.byte));
            if (bits == 8) {
                for (uint8_t got : mix_u8(m.get(), 10)) ASSERT_EQ(c.u8, got);
            } else {
                for (int16_t got : mix_s16(m.get(), 10)) ASSERT_EQ(c.s16, got);
            }
        }
    }
}

TEST(Mixer, RateConversionAtCreation) {
    uint8_t ramp[12];
    for (int i = 0; i < 12; i++) ramp[i] = (uint8_t)(10 * i);
    struct Case {
        int rate;
        std::vector<int> from;   // the ramp index behind each converted byte
    };
    std::vector<int> half, same, double_, three_halves = {0, 1, 3, 4, 6, 7, 9, 10};
    for (int i = 0; i < 24; i++) half.push_back(i / 2);
    for (int i = 0; i < 12; i++) same.push_back(i);
    for (int i = 0; i < 6; i++) double_.push_back(2 * i);
    const Case cases[] = {{11025, half}, {0, same}, {22050, same}, {44100, double_}, {33075, three_halves}};
    MixerPtr m = make_mixer(2);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rate);
        ZolmVoice *v = mixer_voice_create(m.get(), 12, ramp, c.rate);
        ASSERT_NE(v, nullptr);
        ASSERT_EQ((int)c.from.size(), v->sample->length);
        for (size_t i = 0; i < c.from.size(); i++) EXPECT_EQ(ramp[c.from[i]], v->sample->bytes[i]) << i;
        // It plays the converted data at the mixing rate, full volume, centred, stopped.
        EXPECT_EQ(22050, v->source_rate);
        EXPECT_EQ(1u, v->step_whole);
        EXPECT_EQ(0u, v->step_fraction);
        EXPECT_EQ(32767, v->volume);
        EXPECT_EQ(0, v->pan);
        EXPECT_EQ(VOICE_STEREO, v->flags);
        mixer_voice_free(v);
    }
    // Too little data for one byte at the mixing rate, or none at all.
    EXPECT_EQ(nullptr, mixer_voice_create(m.get(), 1, ramp, 44100));
    EXPECT_EQ(nullptr, mixer_voice_create(m.get(), 0, ramp, 0));
    // No data: silence.
    ZolmVoice *silent = mixer_voice_create(m.get(), 5, nullptr, 0);
    ASSERT_NE(silent, nullptr);
    for (int i = 0; i < 5; i++) EXPECT_EQ(128, silent->sample->bytes[i]);
}

TEST(Mixer, RateStepsThePosition) {
    const int cases[][4] = {   // voice rate, length, samples mixed, position after
        {22050, 1000, 100, 100}, {44100, 1000, 100, 200}, {11025, 1000, 101, 50},
        {33075, 1000, 10, 15},   {7350, 1000, 10, 3},     {44100, 100, 60, 20},   // wraps
        {0, 1000, 7, 7},         {-3, 1000, 7, 7},        // <= 0: the mixing rate
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "rate " << c[0] << " samples " << c[2]);
        MixerPtr m = make_mixer(1);
        ZolmVoice *v = constant_voice(m.get(), c[1], 128);
        mixer_voice_set_loop(v, true);
        mixer_voice_set_rate(v, c[0]);
        mixer_voice_play(v);
        mix_u8(m.get(), c[2]);
        EXPECT_EQ(c[3], mixer_voice_position(v));
    }
    // At half the mixing rate every byte is heard twice.
    MixerPtr m = make_mixer(1);
    const uint8_t data[] = {160, 192, 224};
    ZolmVoice *v = mixer_voice_create(m.get(), 3, data, 0);
    mixer_voice_set_rate(v, 11025);
    mixer_voice_play(v);
    std::vector<uint8_t> out = mix_u8(m.get(), 8);
    const int bytes_heard[] = {160, 160, 192, 192, 224, 224, -1, -1};   // -1: finished, silence
    for (int i = 0; i < 8; i++) {
        int want = bytes_heard[i] < 0 ? 128 : 128 + mixer_level_value(31, bytes_heard[i]);
        EXPECT_EQ(want, out[i]) << i;
    }
}

TEST(Mixer, ChannelLimitAdvancesButMutesTheQuietest) {
    struct Case {
        int channels, limit;
        int levels[3];      // mono levels of the voices, in the order they start
        bool heard[3];
    };
    const Case cases[] = {
        {1, 2, {31, 20, 5}, {true, true, false}},
        {1, 2, {5, 31, 20}, {false, true, true}},
        {1, 3, {31, 20, 5}, {true, true, true}},
        {1, 1, {20, 20, 5}, {true, false, false}},   // a tie goes to the first started
        {1, 0, {31, 20, 5}, {false, false, false}},
        {2, 2, {31, 20, 5}, {true, false, false}},   // centred: two sides per voice
        {2, 4, {5, 20, 31}, {false, true, true}},
    };
    const uint8_t byte = 176;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, limit " << c.limit << ", levels "
                                        << c.levels[0] << " " << c.levels[1] << " " << c.levels[2]);
        MixerPtr m = make_mixer(c.channels, c.limit);
        ZolmVoice *v[3];
        int expected = 0;
        for (int i = 0; i < 3; i++) {
            v[i] = constant_voice(m.get(), 1000, byte);
            mixer_voice_set_volume(v[i], volume_for_level(c.levels[i]));
            mixer_voice_play(v[i]);
            int level = c.channels == 1 ? c.levels[i] : v[i]->sides[0].level;
            if (c.heard[i]) expected += mixer_level_value(level, byte);
        }
        ASSERT_LE(expected, 126);
        for (uint8_t got : mix_u8(m.get(), 20)) ASSERT_EQ(128 + expected, got);
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(20, mixer_voice_position(v[i])) << i;
            EXPECT_TRUE(v[i]->flags & VOICE_PLAYING) << i;
        }
    }
}

TEST(Mixer, VolumeChangeMovesAPlayingVoiceBetweenLevels) {
    MixerPtr m = make_mixer(1, 1);
    ZolmVoice *loud = constant_voice(m.get(), 100, 255);
    ZolmVoice *quiet = constant_voice(m.get(), 100, 0);
    mixer_voice_set_volume(quiet, volume_for_level(10));
    mixer_voice_play(loud);
    mixer_voice_play(quiet);
    EXPECT_TRUE(listed_at(m.get(), loud, 0, 31));
    EXPECT_EQ(128 + mixer_level_value(31, 255), mix_u8(m.get(), 1)[0]);
    mixer_voice_set_volume(loud, volume_for_level(4));
    EXPECT_FALSE(listed_at(m.get(), loud, 0, 31));
    EXPECT_TRUE(listed_at(m.get(), loud, 0, 4));
    EXPECT_EQ(128 + mixer_level_value(10, 0), mix_u8(m.get(), 1)[0]);
    // Pan moves the sides of a stereo voice apart.
    MixerPtr s = make_mixer(2);
    ZolmVoice *v = constant_voice(s.get(), 100, 255);
    mixer_voice_play(v);
    mixer_voice_set_pan(v, 32767);
    EXPECT_TRUE(listed_at(s.get(), v, 0, 0));
    EXPECT_TRUE(listed_at(s.get(), v, 1, 31));
    std::vector<uint8_t> out = mix_u8(s.get(), 2);
    EXPECT_EQ(128, out[0]);
    EXPECT_EQ(128 + mixer_level_value(31, 255), out[1]);
}

TEST(Mixer, LoopingWrapsAndNonLoopingFinishes) {
    uint8_t data[10];
    for (int i = 0; i < 10; i++) data[i] = (uint8_t)(136 + 8 * i);
    for (bool looping : {false, true}) {
        SCOPED_TRACE(looping ? "looping" : "not looping");
        MixerPtr m = make_mixer(1);
        ZolmVoice *v = mixer_voice_create(m.get(), 10, data, 0);
        mixer_voice_set_loop(v, looping);
        mixer_voice_play(v);
        std::vector<uint8_t> out = mix_u8(m.get(), 16);
        for (int i = 0; i < 16; i++) {
            int want = (looping || i < 10) ? 128 + mixer_level_value(31, data[i % 10]) : 128;
            EXPECT_EQ(want, out[i]) << i;
        }
        EXPECT_EQ(looping ? 6 : 10, mixer_voice_position(v));
        EXPECT_EQ(looping, (v->flags & VOICE_PLAYING) != 0);
        EXPECT_EQ(!looping, (v->flags & VOICE_FINISHED) != 0);
        EXPECT_EQ(looping, listed_at(m.get(), v, 0, 31));
        // Playing again starts over from the first byte.
        mixer_voice_play(v);
        EXPECT_EQ(0, mixer_voice_position(v));
        EXPECT_FALSE(v->flags & VOICE_FINISHED);
        EXPECT_EQ(128 + mixer_level_value(31, data[0]), mix_u8(m.get(), 1)[0]);
        EXPECT_EQ(1, mixer_voice_position(v));
        // Stopped, it keeps its place and is out of the mix.
        mixer_voice_stop(v);
        EXPECT_FALSE(listed_at(m.get(), v, 0, 31));
        EXPECT_EQ(128, mix_u8(m.get(), 1)[0]);
        EXPECT_EQ(1, mixer_voice_position(v));
    }
}

TEST(Mixer, WriteWrapsAtTheEndOfTheData) {
    const int cases[][2] = {{6, 5}, {0, 8}, {-3, 2}, {13, 4}, {2, 20}, {3, 0}};   // offset, count
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << c[0] << " count " << c[1]);
        MixerPtr m = make_mixer(1);
        ZolmVoice *v = constant_voice(m.get(), 8, 0);
        std::vector<uint8_t> source, expected(8, 0);
        for (int i = 0; i < c[1]; i++) {
            source.push_back((uint8_t)(i + 1));
            expected[(size_t)(((c[0] + i) % 8 + 8) % 8)] = (uint8_t)(i + 1);
        }
        mixer_voice_write(v, c[1], source.data(), c[0]);
        EXPECT_EQ(expected, std::vector<uint8_t>(v->sample->bytes, v->sample->bytes + 8));
    }
}

TEST(Mixer, ClonesShareTheDataAndFreeInEitherOrder) {
    for (bool original_first : {true, false}) {
        SCOPED_TRACE(original_first ? "original freed first" : "clone freed first");
        MixerPtr m = make_mixer(1);
        ZolmVoice *original = constant_voice(m.get(), 50, 128);
        mixer_voice_set_volume(original, 20000);
        mixer_voice_set_pan(original, -1000);
        mixer_voice_set_rate(original, 44100);
        mixer_voice_set_loop(original, true);
        ZolmVoice *clone = mixer_voice_clone(original);
        ASSERT_NE(clone, nullptr);
        EXPECT_EQ(original->sample, clone->sample);
        EXPECT_EQ(2, original->sample->refs);
        EXPECT_EQ(20000, clone->volume);
        EXPECT_EQ(-1000, clone->pan);
        EXPECT_EQ(44100, clone->source_rate);
        EXPECT_EQ(VOICE_LOOPING, clone->flags);
        EXPECT_EQ(original->sides[0].level, clone->sides[0].level);
        // A write through one is heard through the other.
        const uint8_t loud[] = {255, 255, 255, 255};
        mixer_voice_write(clone, 4, loud, 0);
        EXPECT_EQ(255, original->sample->bytes[3]);
        mixer_voice_free(original_first ? original : clone);
        ZolmVoice *left = original_first ? clone : original;
        EXPECT_EQ(1, left->sample->refs);
        mixer_voice_set_volume(left, 32767);
        mixer_voice_set_rate(left, 22050);
        mixer_voice_play(left);
        std::vector<uint8_t> out = mix_u8(m.get(), 5);
        EXPECT_EQ(std::vector<uint8_t>({251, 251, 251, 251, 128}), out);
        mixer_voice_free(left);   // the data go with it (the leak check would tell)
        EXPECT_EQ(nullptr, m->voices);
    }
}

TEST(Mixer, MixingInPiecesLongerThanTheBlock) {
    // A mix longer than the accumulators gives what one long block would.
    uint8_t ramp[97];
    for (int i = 0; i < 97; i++) ramp[i] = (uint8_t)(i * 2 + 30);
    std::vector<uint8_t> outs[2];
    for (int block : {7, 1000}) {
        MixerPtr m = make_mixer(2, 16, 22050, block);
        ZolmVoice *v = mixer_voice_create(m.get(), 97, ramp, 0);
        mixer_voice_set_rate(v, 30000);
        mixer_voice_set_pan(v, -20000);
        mixer_voice_set_loop(v, true);
        mixer_voice_play(v);
        outs[block == 7 ? 0 : 1] = mix_u8(m.get(), 300);
    }
    EXPECT_EQ(outs[0], outs[1]);
}

// ---- the drivers ----

// Each case starts with audio closed, no options, and a log in a scratch
// directory, and leaves audio closed and the dummy sound driver chosen.
class Audio : public testing::Test {
protected:
    void SetUp() override {
        unsetenv("ZOLM_OPTIONS");
        unsetenv("ZOLM_LOGFILE_FLAGS");
        setenv("ZOLM_LOGFILE", (dir / "log.txt").c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        zolm_log_reset();
    }
    void TearDown() override {
        if (zolm_audio_is_open()) zolm_audio_close();
        unsetenv("ZOLM_OPTIONS");
        unsetenv("ZOLM_LOGFILE");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        zolm_log_reset();
    }
    std::string log_text() {
        std::string text;
        read_file(dir / "log.txt", &text);
        return text;
    }
    bool logged(const std::string &line) { return log_text().find("] " + line) != std::string::npos; }
    ScratchDir dir;
};

TEST_F(Audio, ReadbackBlocksByteForByte) {
    ASSERT_TRUE(zolm_audio_open_readback(nullptr, 88320, 690));
    EXPECT_TRUE(logged("Opening readback audio...\n"));
    EXPECT_TRUE(logged("Audio opened!\n"));
    // A ramp recorded at half the mixing rate, looping, at volume 16384: the
    // mono level is (65535 x 16384) >> 26 = 15 whatever the pan.
    uint8_t ramp[256];
    for (int i = 0; i < 256; i++) ramp[i] = (uint8_t)i;
    ZolmVoice *v = zolm_voice_create(256, ramp, 44160);
    ASSERT_NE(v, nullptr);
    zolm_voice_set_volume(v, 16384);
    zolm_voice_set_pan(v, 12345);
    zolm_voice_set_loop(v, true);
    zolm_voice_play(v);
    // Byte i of the converted data is ramp[i / 2]; level 15 scales b - 128
    // by 15/32; the output is that times 256.
    std::vector<uint8_t> expected;
    for (int n = 0; n < 2 * 690; n++) {
        int b = ramp[(n % 512) / 2];
        int16_t s = (int16_t)((b - 128) * 15 / 32 * 256);
        expected.push_back((uint8_t)(s & 0xff));
        expected.push_back((uint8_t)((s >> 8) & 0xff));
    }
    EXPECT_EQ(-60 * 256, (int16_t)(expected[0] | expected[1] << 8));   // byte 0: -128 x 15/32
    for (int block = 0; block < 2; block++) {
        const int16_t *mixed = zolm_audio_mix();
        ASSERT_NE(mixed, nullptr);
        std::vector<uint8_t> got((const uint8_t *)mixed, (const uint8_t *)mixed + 1380);
        EXPECT_EQ(std::vector<uint8_t>(expected.begin() + block * 1380, expected.begin() + (block + 1) * 1380),
                  got)
            << "block " << block;
    }
    EXPECT_EQ(1380 % 512, zolm_voice_position(v));
    // A second open of either kind is refused; the first stays.
    EXPECT_FALSE(zolm_audio_open_readback(nullptr, 88320, 690));
    EXPECT_FALSE(zolm_audio_open(nullptr));
    EXPECT_TRUE(logged("Audio already open\n"));
    EXPECT_NE(zolm_audio_mix(), nullptr);
    zolm_audio_close();
    EXPECT_TRUE(logged("Closing audio\n"));
    EXPECT_EQ(nullptr, zolm_audio_mix());
    // Bad formats are refused.
    EXPECT_FALSE(zolm_audio_open_readback(nullptr, 0, 690));
    EXPECT_FALSE(zolm_audio_open_readback(nullptr, 88320, -1));
    EXPECT_FALSE(zolm_audio_is_open());
}

TEST_F(Audio, ReadbackHonoursTheChannelLimit) {
    setenv("ZOLM_OPTIONS", "[sound-channels:1]", 1);
    ASSERT_TRUE(zolm_audio_open_readback(nullptr, 8000, 4));
    ZolmVoice *quiet = zolm_voice_create(10, nullptr, 0);
    ZolmVoice *loud = zolm_voice_clone(quiet);
    const uint8_t high[10] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    zolm_voice_write(quiet, 10, high, 0);
    zolm_voice_set_volume(quiet, 1 << 14);
    zolm_voice_play(quiet);
    zolm_voice_play(loud);
    const int16_t *mixed = zolm_audio_mix();
    ASSERT_NE(mixed, nullptr);
    for (int i = 0; i < 4; i++) EXPECT_EQ(123 * 256, mixed[i]);   // only the loud one: level 31
    EXPECT_EQ(4, zolm_voice_position(quiet));
}

TEST_F(Audio, DeviceOpensOnTheDummyDriverAndPlays) {
    struct Case {
        const char *options;
        int rate, voices, mixahead;
    };
    const Case cases[] = {
        {"", 22050, 16, 125},
        {"[sound-rate:44100][sound-channels:4][sound-mixahead:1000]", 44100, 4, 500},   // 32 fragments
        {"[sound-mixahead:5][dsnd:maybe]", 22050, 16, 15},                              // 1 fragment
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options);
        setenv("ZOLM_OPTIONS", c.options, 1);
        zolm_log_reset();
        ASSERT_TRUE(zolm_audio_open(nullptr));
        EXPECT_TRUE(zolm_audio_is_open());
        EXPECT_EQ(nullptr, zolm_audio_mix());   // the device mixes by itself
        ZolmVoice *v = zolm_voice_create(4096, nullptr, 11025);
        ASSERT_NE(v, nullptr);
        ZolmVoice *other = zolm_voice_clone(v);
        zolm_voice_set_loop(v, true);
        zolm_voice_play(v);
        zolm_voice_play(other);
        // The device thread mixes while the game thread keeps changing voices.
        uint8_t chunk[64];
        memset(chunk, 200, sizeof chunk);
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int moves = 0;
        for (int previous = 0, i = 0; moves < 2 && std::chrono::steady_clock::now() < until; i++) {
            zolm_voice_set_volume(v, (i * 997) % 32768);
            zolm_voice_set_pan(v, (i * 7919) % 65536 - 32768);
            zolm_voice_set_rate(v, 11025 + i % 30000);
            zolm_voice_write(v, sizeof chunk, chunk, zolm_voice_position(v) + 100);
            if (i % 50 == 0) zolm_voice_play(other);
            int position = zolm_voice_position(v);
            if (position != previous) moves++;
            previous = position;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_GE(moves, 2) << "the device never mixed";
        zolm_voice_free(other);
        zolm_audio_close();
        EXPECT_FALSE(zolm_audio_is_open());
        std::string log = log_text();
        const std::string lines[] = {
            "Opening waveOut audio...\n",
            "Found a ",
            "Waveout rate: " + std::to_string(c.rate) + "\n",
            "Waveout channels: " + std::to_string(c.voices) + "\n",
            "Waveout mixahead: " + std::to_string(c.mixahead) + "\n",
            "Audio opened!\n",
            "Audio thread begin\n",
            "Closing audio\n",
            "Audio thread end\n",
        };
        size_t at = 0;
        for (const std::string &line : lines) {
            size_t found = log.find("] " + line, at);
            EXPECT_NE(std::string::npos, found) << "missing in order: " << line << "\n" << log;
            if (found != std::string::npos) at = found;
        }
    }
    EXPECT_TRUE(logged("unrecognized setting for dsnd\n"));
}

TEST_F(Audio, NoDeviceLeavesTheGameSilentAndVoicesInert) {
    // A stale handle from a closed driver must not be touched by any call.
    ASSERT_TRUE(zolm_audio_open_readback(nullptr, 22050, 100));
    ZolmVoice *stale = zolm_voice_create(100, nullptr, 0);
    ASSERT_NE(stale, nullptr);
    zolm_audio_close();

    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    EXPECT_FALSE(zolm_audio_open(nullptr));
    EXPECT_TRUE(logged("No audio device\n"));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ZOLM_OPTIONS", "[waveout:off]", 1);
    zolm_log_reset();
    EXPECT_FALSE(zolm_audio_open(nullptr));
    EXPECT_FALSE(logged("Opening waveOut audio...\n"));
    EXPECT_FALSE(zolm_audio_is_open());

    const uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_EQ(nullptr, zolm_voice_create(4, data, 0));
    EXPECT_EQ(nullptr, zolm_voice_clone(stale));
    EXPECT_EQ(nullptr, zolm_audio_mix());
    for (ZolmVoice *v : {stale, (ZolmVoice *)nullptr}) {
        zolm_voice_play(v);
        zolm_voice_stop(v);
        zolm_voice_set_rate(v, 44100);
        zolm_voice_set_volume(v, 100);
        zolm_voice_set_pan(v, 100);
        zolm_voice_set_loop(v, true);
        zolm_voice_write(v, 4, data, 0);
        EXPECT_EQ(0, zolm_voice_position(v));
        zolm_voice_free(v);
    }
    zolm_audio_close();
    EXPECT_TRUE(logged("Can't close audio, not open\n"));
}
