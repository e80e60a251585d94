// The resources tickwell.exe carries, read back from this test program, which
// links the same resource object. Each check names what the program would get
// wrong at run time: an icon the tray cannot show at 16 pixels, a splash of the
// wrong size, a sound the player rejects, a version read as 1.05.
#include "tw/handles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tw::unique_hbitmap;
using tw::unique_hicon;
using tw::unique_hmodule;

constexpr std::uint16_t kWaveFormatPcm = 1; // WAVE_FORMAT_PCM, from mmreg.h

// Every icon the windows and dialogs load by number.
constexpr int kIconIds[] = {1024, 1032, 1033, 1034, 1036, 1037, 1051, 1052, 1053, 1054,
                            1055, 1056, 1057, 1058, 1059, 1060, 1061, 1062, 1063, 1064};

struct SoundName {
    const char* name;
    const char* type;
};
constexpr SoundName kSounds[] = {{"WAVE1", "WAV01"}, {"WAVE2", "WAV02"}, {"WAVE3", "WAV03"}};

using Bytes = std::basic_string_view<std::uint8_t>;

std::optional<Bytes> resource(LPCSTR name, LPCSTR type) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(self, name, type);
    if (!info)
        return std::nullopt;
    HGLOBAL loaded = LoadResource(self, info);
    if (!loaded)
        return std::nullopt;
    return Bytes(static_cast<const std::uint8_t*>(LockResource(loaded)),
                 SizeofResource(self, info));
}

std::uint16_t u16(Bytes b, size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t u32(Bytes b, size_t at) {
    return u16(b, at) | static_cast<std::uint32_t>(u16(b, at + 2)) << 16;
}

// ------------------------------------------------------------------------ icons

// One entry of an RT_GROUP_ICON directory (GRPICONDIRENTRY, 14 bytes).
struct GroupEntry {
    int width; // 0 in the file means 256
    int height;
    int bitCount;
    std::uint32_t bytes;
    int id;
};

std::vector<GroupEntry> groupEntries(Bytes group) {
    std::vector<GroupEntry> out;
    if (group.size() < 6 || u16(group, 0) != 0 || u16(group, 2) != 1)
        return out;
    const size_t count = u16(group, 4);
    for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
        const size_t at = 6 + 14 * i;
        out.push_back({group[at] ? group[at] : 256, group[at + 1] ? group[at + 1] : 256,
                       u16(group, at + 6), u32(group, at + 8), u16(group, at + 12)});
    }
    return out;
}

bool isPng(Bytes image) {
    return image.size() > 8 && std::memcmp(image.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
}

// The image the system picks for a size, as LoadImage does it.
std::optional<GroupEntry> pick(Bytes group, int size) {
    const int id = LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group.data()), TRUE, size, size,
                                               LR_DEFAULTCOLOR);
    for (const GroupEntry& e : groupEntries(group))
        if (e.id == id)
            return e;
    return std::nullopt;
}

// Width and height of the colour bitmap of an icon made from one RT_ICON image.
std::pair<int, int> iconBitmapSize(Bytes image, int size) {
    unique_hicon icon(CreateIconFromResourceEx(const_cast<PBYTE>(image.data()),
                                               static_cast<DWORD>(image.size()), TRUE, 0x00030000,
                                               size, size, LR_DEFAULTCOLOR));
    if (!icon)
        return {0, 0};
    ICONINFO info{};
    if (!GetIconInfo(icon.get(), &info))
        return {0, 0};
    unique_hbitmap colour(info.hbmColor);
    unique_hbitmap mask(info.hbmMask);
    BITMAP bm{};
    GetObjectA(colour.get(), sizeof bm, &bm);
    return {bm.bmWidth, bm.bmHeight};
}

class Icon : public ::testing::TestWithParam<int> {
  protected:
    Bytes group() {
        auto g = resource(MAKEINTRESOURCEA(GetParam()), RT_GROUP_ICON);
        EXPECT_TRUE(g) << "icon group " << GetParam() << " missing";
        return g.value_or(Bytes());
    }
};

// Every image the directory lists is there, with the size the directory claims:
// a mismatch makes LoadImage fail for that size only.
TEST_P(Icon, DirectoryMatchesItsImages) {
    const auto entries = groupEntries(group());
    ASSERT_FALSE(entries.empty());
    for (const GroupEntry& e : entries) {
        SCOPED_TRACE("image " + std::to_string(e.width));
        const auto image = resource(MAKEINTRESOURCEA(e.id), RT_ICON);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), e.bytes);
        EXPECT_EQ(e.bitCount, 32);
        EXPECT_EQ(e.width, e.height);
    }
}

// The tray uses 16 pixels, buttons and dialogs 32: both must be drawn, not scaled
// by the system from another size.
TEST_P(Icon, HasSixteenAndThirtyTwoPixelImages) {
    const Bytes g = group();
    for (int size : {16, 32}) {
        SCOPED_TRACE("size " + std::to_string(size));
        const auto chosen = pick(g, size);
        ASSERT_TRUE(chosen);
        EXPECT_EQ(chosen->width, size);
        const auto image = resource(MAKEINTRESOURCEA(chosen->id), RT_ICON);
        ASSERT_TRUE(image);
        EXPECT_EQ(iconBitmapSize(*image, size), std::make_pair(size, size));
        unique_hicon loaded(static_cast<HICON>(LoadImageA(
            GetModuleHandleA(nullptr), MAKEINTRESOURCEA(GetParam()), IMAGE_ICON, size, size, 0)));
        EXPECT_TRUE(loaded);
    }
}

// The small images carry real transparency, and the AND mask agrees with it so
// that consumers that ignore alpha show the same outline instead of a square.
TEST_P(Icon, SmallImagesHaveAlphaAndAMatchingMask) {
    for (const GroupEntry& e : groupEntries(group())) {
        if (e.width > 48)
            continue;
        SCOPED_TRACE("image " + std::to_string(e.width));
        const Bytes image = resource(MAKEINTRESOURCEA(e.id), RT_ICON).value_or(Bytes());
        ASSERT_GE(image.size(), 40u);
        ASSERT_FALSE(isPng(image));
        const int w = static_cast<int>(u32(image, 4));
        ASSERT_EQ(w, e.width);
        ASSERT_EQ(static_cast<int>(u32(image, 8)), 2 * w); // colour + mask
        ASSERT_EQ(u16(image, 14), 32);
        const size_t pixels = 40, maskRow = ((w + 31) / 32) * 4, mask = pixels + size_t(w) * w * 4;
        ASSERT_EQ(image.size(), mask + maskRow * w);
        int transparent = 0, opaque = 0, disagreements = 0;
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < w; ++x) {
                const int alpha = image[pixels + (size_t(y) * w + x) * 4 + 3];
                const bool masked = image[mask + y * maskRow + x / 8] & (0x80 >> (x % 8));
                transparent += alpha == 0;
                opaque += alpha == 255;
                disagreements += masked != (alpha == 0);
            }
        EXPECT_GT(transparent, 0);
        EXPECT_GT(opaque, w);
        EXPECT_EQ(disagreements, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, Icon, ::testing::ValuesIn(kIconIds),
                         [](const auto& info) { return std::to_string(info.param); });

// Each id shows its own picture: two ids mapped to one file would offer the
// user the same tray icon twice and put a wrong picture on a button.
TEST(IconSet, EverySixteenPixelImageIsDifferent) {
    std::set<std::basic_string<std::uint8_t>> seen;
    for (int id : kIconIds) {
        const auto g = resource(MAKEINTRESOURCEA(id), RT_GROUP_ICON);
        ASSERT_TRUE(g) << id;
        const auto chosen = pick(*g, 16);
        ASSERT_TRUE(chosen) << id;
        const auto image = resource(MAKEINTRESOURCEA(chosen->id), RT_ICON);
        ASSERT_TRUE(image) << id;
        EXPECT_TRUE(seen.emplace(image->begin(), image->end()).second)
            << id << " repeats another icon";
    }
}

// Explorer shows the program file with the application icon's large image.
TEST(IconSet, ApplicationIconHasACompressedLargeImage) {
    const auto g = resource(MAKEINTRESOURCEA(1024), RT_GROUP_ICON);
    ASSERT_TRUE(g);
    const auto large = pick(*g, 256);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->width, 256);
    const auto image = resource(MAKEINTRESOURCEA(large->id), RT_ICON);
    ASSERT_TRUE(image);
    EXPECT_TRUE(isPng(*image));
    EXPECT_EQ(iconBitmapSize(*image, 256), std::make_pair(256, 256));
}

// ----------------------------------------------------------------------- splash

// The splash dialog is 332 x 183 dialog units, which the bitmap fills at 96 dpi.
TEST(Splash, BitmapIs498By298TrueColour) {
    const auto raw = resource(MAKEINTRESOURCEA(1040), RT_BITMAP);
    ASSERT_TRUE(raw);
    ASSERT_GE(raw->size(), 40u);
    EXPECT_EQ(u32(*raw, 16), static_cast<std::uint32_t>(BI_RGB));
    EXPECT_EQ(u16(*raw, 14), 24);
    const size_t stride = (498 * 3 + 3) & ~size_t(3);
    EXPECT_EQ(raw->size(), 40 + stride * 298);

    unique_hbitmap bitmap(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1040)));
    ASSERT_TRUE(bitmap);
    BITMAP bm{};
    ASSERT_TRUE(GetObjectA(bitmap.get(), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 498);
    EXPECT_EQ(bm.bmHeight, 298);
}

// ----------------------------------------------------------------------- sounds

struct Wave {
    int channels = 0;
    std::uint32_t rate = 0;
    std::uint32_t byteRate = 0;
    int blockAlign = 0;
    int bits = 0;
    Bytes data;
};

// Reads a RIFF/WAVE file the way a player does: chunks in any order, "fmt "
// before "data", PCM only, consistent rates, nothing past the end.
std::optional<Wave> parseWave(Bytes file) {
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0 || u32(file, 4) != file.size() - 8)
        return std::nullopt;
    Wave wave;
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= file.size();) {
        const std::uint32_t size = u32(file, at + 4);
        if (size > file.size() - at - 8)
            return std::nullopt;
        const Bytes body = file.substr(at + 8, size);
        if (std::memcmp(file.data() + at, "fmt ", 4) == 0) {
            if (size < 16 || u16(body, 0) != kWaveFormatPcm)
                return std::nullopt;
            wave.channels = u16(body, 2);
            wave.rate = u32(body, 4);
            wave.byteRate = u32(body, 8);
            wave.blockAlign = u16(body, 12);
            wave.bits = u16(body, 14);
            if (wave.channels < 1 || (wave.bits != 8 && wave.bits != 16) ||
                wave.blockAlign != wave.channels * wave.bits / 8 ||
                wave.byteRate != wave.rate * wave.blockAlign)
                return std::nullopt;
            haveFormat = true;
        } else if (std::memcmp(file.data() + at, "data", 4) == 0) {
            if (!haveFormat || size % wave.blockAlign != 0)
                return std::nullopt;
            wave.data = body;
            return wave;
        }
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

class Sound : public ::testing::TestWithParam<SoundName> {};

// Played from memory by name and type, so the resource must be a complete PCM
// file, short enough not to overlap the next event, audible, and silent at both
// ends so that it starts and stops without a click.
TEST_P(Sound, IsAShortCleanPcmWave) {
    const auto file = resource(GetParam().name, GetParam().type);
    ASSERT_TRUE(file) << GetParam().name << " of type " << GetParam().type << " missing";
    const auto wave = parseWave(*file);
    ASSERT_TRUE(wave);
    const double seconds = double(wave->data.size()) / wave->byteRate;
    EXPECT_LT(seconds, 1.0);
    EXPECT_GT(seconds, 0.1);
    ASSERT_EQ(wave->bits, 16);
    const size_t count = wave->data.size() / 2;
    auto sample = [&](size_t i) { return static_cast<std::int16_t>(u16(wave->data, 2 * i)); };
    int peak = 0;
    for (size_t i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(int(sample(i))));
    EXPECT_GT(peak, 32767 / 10) << "too quiet";
    EXPECT_LT(peak, 32767) << "clipped";
    EXPECT_LT(std::abs(int(sample(0))), 328) << "click at the start";
    EXPECT_LT(std::abs(int(sample(count - 1))), 328) << "click at the end";
}

INSTANTIATE_TEST_SUITE_P(Resources, Sound, ::testing::ValuesIn(kSounds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SoundSet, TheThreeSoundsDiffer) {
    std::set<std::basic_string<std::uint8_t>> seen;
    for (const SoundName& s : kSounds) {
        const auto file = resource(s.name, s.type);
        ASSERT_TRUE(file) << s.name;
        EXPECT_TRUE(seen.emplace(file->begin(), file->end()).second) << s.name;
    }
}

// --------------------------------------------------------------------- manifest

std::string manifestText() {
    const auto m = resource(MAKEINTRESOURCEA(1), RT_MANIFEST);
    return m ? std::string(m->begin(), m->end()) : std::string();
}

BOOL CALLBACK countName(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// One manifest, ours: a second one (a toolchain default) would leave it to the
// linker which of them the loader sees.
TEST(Manifest, IsTheProgramsOwnAndTheOnlyOne) {
    int count = 0;
    EnumResourceNamesA(GetModuleHandleA(nullptr), RT_MANIFEST, countName,
                       reinterpret_cast<LONG_PTR>(&count));
    EXPECT_EQ(count, 1);
    const std::string text = manifestText();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.rfind("<?xml", 0), 0u);
    for (
        const char* part : {
            R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")", R"(level="asInvoker")",
            R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>)",
            "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // Windows 7
            "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // Windows 10 and 11
        })
        EXPECT_NE(text.find(part), std::string::npos) << part;
}

// The loader honoured the manifest: comctl32 as this process loads it is the
// side-by-side version 6 assembly, not the system directory's version 5, which
// is what a process without the dependency gets. (Both report version 5 through
// DllGetVersion and their file versions under Wine, so the place is what tells.)
TEST(Manifest, BringsInCommonControlsSix) {
    unique_hmodule comctl(LoadLibraryA("comctl32.dll"));
    ASSERT_TRUE(comctl);
    char buffer[MAX_PATH] = "";
    ASSERT_GT(GetModuleFileNameA(comctl.get(), buffer, MAX_PATH), 0u);
    std::string path = buffer;
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    EXPECT_NE(path.find("\\winsxs\\"), std::string::npos) << path;
    EXPECT_NE(path.find("microsoft.windows.common-controls_6595b64144ccf1df_6."), std::string::npos)
        << path;
}

// ------------------------------------------------------------------- versions

std::string besideThisProgram(const char* name) {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}

struct VersionCase {
    const char* file; // beside the test program; nullptr = the test program
    const char* originalName;
    DWORD fileType;
};

class Version : public ::testing::TestWithParam<VersionCase> {};

// Every binary says it is Tickwell 1.50. The numbers are read as major + minor /
// 100 (GETSYSFILEVER's reading), so 1.50 must be stored as 1 and 50, not 1 and 5.
TEST_P(Version, SaysTickwellOnePointFifty) {
    std::string path;
    if (GetParam().file) {
        path = besideThisProgram(GetParam().file);
    } else {
        char self[MAX_PATH];
        path.assign(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << path;
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_DOUBLE_EQ(HIWORD(fixed->dwFileVersionMS) + LOWORD(fixed->dwFileVersionMS) / 100.0, 1.5);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, GetParam().fileType);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &len));
    ASSERT_GE(len, 4u);
    char prefix[64];
    wsprintfA(prefix, "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    auto text = [&](const char* key) -> std::string {
        char* value = nullptr;
        UINT chars = 0;
        if (!VerQueryValueA(block.data(), (std::string(prefix) + key).c_str(),
                            reinterpret_cast<void**>(&value), &chars) ||
            !value)
            return "<missing>";
        return value;
    };
    EXPECT_EQ(text("ProductName"), "Tickwell");
    EXPECT_EQ(text("ProductVersion"), "1.50");
    EXPECT_EQ(text("FileVersion"), "1.50.0.0");
    EXPECT_EQ(text("OriginalFilename"), GetParam().originalName);
    EXPECT_NE(text("FileDescription"), "<missing>");
    EXPECT_NE(text("CompanyName"), "<missing>");
}

const VersionCase kVersionCases[] = {
    {"zym.dll", "zym.dll", VFT_DLL},
    {"zymdate.dll", "zymdate.dll", VFT_DLL},
    {nullptr, "tickwell.exe", VFT_APP}, // the program's resources, linked into this test
};

INSTANTIATE_TEST_SUITE_P(Resources, Version, ::testing::ValuesIn(kVersionCases),
                         [](const auto& info) {
                             std::string name = info.param.file ? info.param.file : "program";
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

} // namespace
