// Wave resources: the image check that guards PlaySound, and PLAYWAVFROMRESOURCE
// against the resources of this test program (zym_tests.rc). The test prefix has
// no audio driver, so nothing is heard and nothing may wait for a device.
#include "tw/bstr.h"
#include "wave_image.h"
#include "zym.h"

#include <gtest/gtest.h>

#include <mmsystem.h>

#include <vector>

namespace {

using tw::ownedBstr;
using Bytes = std::vector<std::uint8_t>;

// Bounds-checked writes: a slip in a test's offsets must not corrupt its own data.
void put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

void putId(Bytes& bytes, std::size_t at, const char* id) {
    for (std::size_t i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<std::uint8_t>(id[i]);
}

void appendChunk(Bytes& bytes, const char* id, std::uint32_t declaredSize, std::size_t realSize) {
    const std::size_t at = bytes.size();
    bytes.resize(at + 8 + realSize, 0);
    putId(bytes, at, id);
    put32(bytes, at + 4, declaredSize);
}

void sealRiff(Bytes& bytes) {
    put32(bytes, 4, static_cast<std::uint32_t>(bytes.size() - 8));
}

Bytes riffWave() {
    Bytes bytes(12, 0);
    putId(bytes, 0, "RIFF");
    putId(bytes, 8, "WAVE");
    return bytes;
}

// fmt (16 bytes) and data (size bytes), RIFF size matching.
Bytes validWave(std::uint32_t dataSize = 16) {
    Bytes bytes = riffWave();
    appendChunk(bytes, "fmt ", 16, 16);
    appendChunk(bytes, "data", dataSize, dataSize);
    sealRiff(bytes);
    return bytes;
}

bool playable(const Bytes& bytes) {
    return zym::isPlayableWave(bytes);
}

TEST(WaveImage, WellFormedImagesPass) {
    EXPECT_TRUE(playable(validWave()));
    EXPECT_TRUE(playable(validWave(0))) << "an empty data chunk is still a wave";

    Bytes padded = riffWave(); // an odd chunk is padded to even length before the next
    appendChunk(padded, "LIST", 3, 4);
    appendChunk(padded, "fmt ", 16, 16);
    appendChunk(padded, "data", 5, 6);
    sealRiff(padded);
    EXPECT_TRUE(playable(padded));

    Bytes trailing = validWave(); // bytes after the RIFF form (resource alignment) are fine
    trailing.resize(trailing.size() + 3, 0);
    EXPECT_TRUE(playable(trailing));
}

// Each of these would let PlaySound, which trusts the RIFF sizes, read past the image.
TEST(WaveImage, DamagedImagesAreRefused) {
    const Bytes good = validWave();
    struct Case {
        const char* fault;
        Bytes bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"shorter than a RIFF header", Bytes(good.begin(), good.begin() + 11)});
    cases.push_back({"cut inside the data", Bytes(good.begin(), good.end() - 1)});
    {
        Bytes b = good;
        putId(b, 0, "RIFX");
        cases.push_back({"not RIFF", b});
    }
    {
        Bytes b = good;
        putId(b, 8, "AVI ");
        cases.push_back({"not WAVE", b});
    }
    {
        Bytes b = good;
        put32(b, 4, static_cast<std::uint32_t>(b.size()));
        cases.push_back({"RIFF size one chunk header too long", b});
    }
    {
        Bytes b = good;
        put32(b, 4, 0xFFFFFFFFu);
        cases.push_back({"RIFF size that wraps a 32-bit sum", b});
    }
    {
        Bytes b = good;
        put32(b, 4, 2);
        cases.push_back({"RIFF size smaller than its own form type", b});
    }
    {
        Bytes b = riffWave();
        appendChunk(b, "fmt ", 16, 16);
        appendChunk(b, "data", 0xFFFFFFF0u, 16);
        sealRiff(b);
        cases.push_back({"data chunk larger than the image", b});
    }
    {
        Bytes b = riffWave();
        appendChunk(b, "data", 16, 16);
        sealRiff(b);
        cases.push_back({"no format chunk", b});
    }
    {
        Bytes b = riffWave();
        appendChunk(b, "fmt ", 16, 16);
        sealRiff(b);
        cases.push_back({"no data chunk", b});
    }
    {
        Bytes b = riffWave();
        appendChunk(b, "fmt ", 8, 8);
        appendChunk(b, "data", 16, 16);
        sealRiff(b);
        cases.push_back({"format chunk too small for a wave format", b});
    }
    for (const Case& c : cases)
        EXPECT_FALSE(playable(c.bytes)) << c.fault;
}

int32_t play(HINSTANCE module, const std::string& name, const std::string& type) {
    auto n = ownedBstr(name), t = ownedBstr(type);
    BSTR nb = n.get(), tb = t.get();
    return PLAYWAVFROMRESOURCE(&module, &nb, &tb);
}

// Found and handed to PlaySound: 1, although the test prefix has no sound device.
TEST(PlayWavFromResource, FoundWaveIsHandedOver) {
    HINSTANCE self = ::GetModuleHandleA(nullptr);
    EXPECT_EQ(play(self, "TESTWAVE", "WAVTEST"), 1);
    EXPECT_EQ(play(self, "testwave", "wavtest"), 1) << "resource names ignore case";
    EXPECT_EQ(play(self, "TESTWAVE", "WAVTEST"), 1) << "a second sound replaces the first";
    ::PlaySoundA(nullptr, nullptr, 0); // stop whatever is still playing
}

TEST(PlayWavFromResource, AnythingElseIsZero) {
    HINSTANCE self = ::GetModuleHandleA(nullptr);
    HINSTANCE zym = ::GetModuleHandleA("zym.dll");
    ASSERT_NE(zym, nullptr);
    const struct {
        const char* what;
        HINSTANCE module;
        const char* name;
        const char* type;
    } cases[] = {
        {"missing name", self, "WAVE1", "WAVTEST"},
        {"missing type", self, "TESTWAVE", "WAV01"},
        {"empty name", self, "", "WAVTEST"},
        {"empty type", self, "TESTWAVE", ""},
        {"another module", zym, "TESTWAVE", "WAVTEST"},
        {"a resource that is no sound", self, "BROKENWAVE", "WAVTEST"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(play(c.module, c.name, c.type), 0) << c.what;
}

TEST(PlayWavFromResource, NullArgumentsDoNotCrash) {
    EXPECT_EQ(PLAYWAVFROMRESOURCE(nullptr, nullptr, nullptr), 0);
    auto n = ownedBstr("TESTWAVE"), t = ownedBstr("WAVTEST");
    BSTR nb = n.get(), tb = t.get();
    // No instance is the program file itself, which holds the wave.
    EXPECT_EQ(PLAYWAVFROMRESOURCE(nullptr, &nb, &tb), 1);
    HINSTANCE none = nullptr;
    EXPECT_EQ(PLAYWAVFROMRESOURCE(&none, &nb, &tb), 1);
    ::PlaySoundA(nullptr, nullptr, 0);
}

} // namespace
