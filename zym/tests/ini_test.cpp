// GETINIDATA / WRITEINIDATA over real initialization files in a temp folder.
#include "tw/bstr.h"
#include "tw/temp_folder.h"
#include "zym.h"

#include <gtest/gtest.h>

namespace {

using tw::ownedBstr;
using tw::takeBstr;

class IniData : public ::testing::Test {
  protected:
    std::string read(const std::string& section, const std::string& key,
                     const std::string& defaultValue, const std::string& file) {
        auto f = ownedBstr(file), s = ownedBstr(section), k = ownedBstr(key),
             d = ownedBstr(defaultValue);
        BSTR fb = f.get(), sb = s.get(), kb = k.get(), db = d.get();
        return takeBstr(GETINIDATA(&fb, &sb, &kb, &db));
    }
    std::string read(const std::string& section, const std::string& key,
                     const std::string& defaultValue) {
        return read(section, key, defaultValue, path_);
    }
    int32_t write(const std::string& section, const std::string& key, const std::string& value,
                  const std::string& file) {
        auto f = ownedBstr(file), s = ownedBstr(section), k = ownedBstr(key), v = ownedBstr(value);
        BSTR fb = f.get(), sb = s.get(), kb = k.get(), vb = v.get();
        return WRITEINIDATA(&fb, &sb, &kb, &vb);
    }
    int32_t write(const std::string& section, const std::string& key, const std::string& value) {
        return write(section, key, value, path_);
    }

    tw::testing::TempFolder folder_;
    std::string path_ = folder_.file("Tickwell.ini");
};

// Values the profile API would alter if stored naively (blanks trimmed, quotes
// stripped, long values cut at a fixed buffer) must all come back byte for byte.
TEST_F(IniData, EveryValueReadsBackUnchanged) {
    std::string longValue;
    for (int i = 0; longValue.size() < 5000; ++i)
        longValue += "segment " + std::to_string(i) + " = x; ";
    const std::string values[] = {
        "720",
        "time.example.org (main)",
        "a=b=c",
        "  two leading blanks",
        "two trailing blanks  ",
        " both ",
        "\"quoted\"",
        "'single quoted'",
        "\"",
        "'",
        "\"unbalanced",
        "unbalanced'",
        "semi;colon #hash [bracket]",
        "tab\tinside",
        std::string(1023, 'k'),
        std::string(1024, 'k'),
        std::string(1025, 'k'),
        longValue,
    };
    int n = 0;
    for (const std::string& value : values) {
        const std::string key = "Key " + std::to_string(++n);
        EXPECT_EQ(write("General", key, value), 1);
        EXPECT_EQ(read("General", key, "default"), value) << "value of length " << value.size();
    }
    // And again after all writes, so that no later write disturbed an earlier key.
    n = 0;
    for (const std::string& value : values)
        EXPECT_EQ(read("General", "Key " + std::to_string(++n), "default"), value);
}

// Other tools read the same file: ordinary values are stored as they are.
TEST_F(IniData, PlainValuesAreStoredWithoutQuotes) {
    write("Network", "CurrentNISTServer", "time.example.org");
    write("Network", "Padded", " x ");
    const std::string content = tw::testing::readFile(path_);
    EXPECT_NE(content.find("CurrentNISTServer=time.example.org"), std::string::npos) << content;
    EXPECT_NE(content.find("Padded=\" x \""), std::string::npos) << content;
}

TEST_F(IniData, AbsentOrEmptyGivesTheDefault) {
    ASSERT_TRUE(
        tw::testing::writeFile(path_, "[General]\r\nInterval=720\r\nEmpty=\r\nBlank=   \r\n"));
    struct Case {
        const char* what;
        std::string file, section, key;
    } cases[] = {
        {"missing file", folder_.file("absent.ini"), "General", "Interval"},
        {"missing file in missing folder", folder_.file("no\\such\\absent.ini"), "General",
         "Interval"},
        {"missing section", path_, "Network", "Interval"},
        {"missing key", path_, "General", "Time Port"},
        {"empty value", path_, "General", "Empty"},
        {"blank value", path_, "General", "Blank"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.section, c.key, "fallback", c.file), "fallback") << c.what;
    EXPECT_EQ(read("General", "Interval", "fallback"), "720") << "the present key still reads";
    EXPECT_EQ(read("General", "Time Port", ""), "") << "an empty default is the empty text";
}

TEST_F(IniData, FileSectionAndKeyAreCreatedAsNeeded) {
    ASSERT_EQ(::GetFileAttributesA(path_.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(write("General", "Interval", "720"), 1);
    EXPECT_NE(::GetFileAttributesA(path_.c_str()), INVALID_FILE_ATTRIBUTES) << "file created";

    EXPECT_EQ(write("General", "Tray Icon", "3"), 1);           // new key, existing section
    EXPECT_EQ(write("TimeServers", "Server1", "a.example"), 1); // new section
    EXPECT_EQ(write("General", "Interval", "1440"), 1);         // replaced value

    EXPECT_EQ(read("General", "Interval", ""), "1440");
    EXPECT_EQ(read("General", "Tray Icon", ""), "3");
    EXPECT_EQ(read("TimeServers", "Server1", ""), "a.example");
    EXPECT_EQ(read("TimeServers", "Interval", "none"), "none") << "keys belong to their section";
}

TEST_F(IniData, WritingAnEmptyValueKeepsTheKeyAndReadsTheDefault) {
    write("Network", "Proxy Server address", "proxy.example");
    EXPECT_EQ(write("Network", "Proxy Server address", ""), 1);
    EXPECT_EQ(read("Network", "Proxy Server address", "default"), "default");
    EXPECT_NE(tw::testing::readFile(path_).find("Proxy Server address="), std::string::npos)
        << "an empty write must not delete the key";
}

// The file is lines of text. A value with a line break, written as it is,
// would end its entry early and plant the rest as a setting of its own (a
// server name typed by a user could set any key); a zero byte would cut it.
TEST_F(IniData, TextsThatCannotReadBackAreRefusedAndTheFileKept) {
    ASSERT_EQ(write("General", "Interval", "720"), 1);
    const std::string before = tw::testing::readFile(path_);
    const struct {
        const char* what;
        std::string section, key, value;
    } cases[] = {
        {"CR LF in a value", "General", "Interval", "1\r\nAuto-set time=1"},
        {"LF in a value", "General", "Interval", "1\nAuto-set time=1"},
        {"CR in a value", "General", "Interval", "1\rAuto-set time=1"},
        {"section header in a value", "General", "Interval", "1\r\n[Network]\r\nTime Port=7"},
        {"line break in a key", "General", "Auto-set time=1\r\nInterval", "5"},
        {"line break in a section", "General]\r\nAuto-set time=1\r\n[General", "Interval", "5"},
        {"zero byte in a value", "General", "Interval",
         std::string("12\0"
                     "34",
                     5)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(write(c.section, c.key, c.value), 0) << c.what;
        EXPECT_EQ(tw::testing::readFile(path_), before) << c.what;
    }
    EXPECT_EQ(read("General", "Interval", "default"), "720");
    EXPECT_EQ(read("General", "Auto-set time", "default"), "default");
    EXPECT_EQ(read("Network", "Time Port", "default"), "default");
}

TEST_F(IniData, NullArgumentsAreEmptyTexts) {
    BSTR none = nullptr;
    EXPECT_EQ(takeBstr(GETINIDATA(nullptr, nullptr, nullptr, nullptr)), "");
    auto d = ownedBstr("fallback");
    BSTR db = d.get();
    EXPECT_EQ(takeBstr(GETINIDATA(&none, &none, &none, &db)), "fallback");
    EXPECT_EQ(WRITEINIDATA(nullptr, nullptr, nullptr, nullptr), 0) << "no file to write";
}

} // namespace
