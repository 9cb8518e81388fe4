// The drivers' settings file read and written through the platform seam: the Win32
// profile calls (and, in the Windows tier, the INI rules the POSIX seam is built on)
// and the POSIX seam give the answers of one table.
#include <gtest/gtest.h>

#include "ini_text.h"
#include "platform.h"

#include <stdio.h>
#include <string>

#ifdef _WIN32
#include "platform_win32.h"
#include <windows.h>
#else
#include "platform_posix.h"
#include <unistd.h>
#endif

namespace {

struct ReadCase {
    const char* text;
    const char* section;
    const char* key;
    int asInt;          // fallback 7
    const char* asText; // fallback "none"
};

// Blanks, case and line endings; numbers as the drivers' keys hold them; what is missing.
const ReadCase kReads[] = {
    {"[Main]\nMCLK=20\n", "Main", "MCLK", 20, "20"},
    {"[main]\r\n  mclk =  25  \r\n", "MAIN", "Mclk", 25, "25"},
    {"[Main]\nFast Step Size=fast\n", "Main", "Fast Step Size", 0, "fast"},
    {"[Main]\nA=-12abc\n", "Main", "A", -12, "-12abc"},
    {"[Main]\nA=+8\n", "Main", "A", 8, "+8"},
    {"[Main]\nA=\n", "Main", "A", 7, ""},
    {"[Main]\nA=1\n", "Main", "B", 7, "none"},
    {"[Other]\nA=1\n", "Main", "A", 7, "none"},
    {"[Main]\nA=1\nA=2\n", "Main", "A", 1, "1"},
    {"; comment\n[Gamma]\nRx1=\"40\"\n", "Gamma", "Rx1", 40, "40"},
    {"[Main]\nA=1\n[Main]\nB=3\n", "Main", "B", 7, "none"},
    {"[Main]\nA=1", "Main", "A", 1, "1"},
};

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifdef _WIN32
        platform::InitWin32Platform(&os_, "");
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        folder_ = dir;
#else
        platform::InitPosixPlatform(&os_, platform::PosixOptions());
        folder_ = testing::TempDir();
#endif
        settings_ = os_.platform.settings;
    }

    std::string File(int n, const char* text)
    {
        std::string path = folder_ + "settings_file_test_" + std::to_string(n) + ".ini";
        remove(path.c_str());
#ifdef _WIN32
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()); // Wine's cache forgets it
#endif
        if (text) {
            FILE* f = fopen(path.c_str(), "wb");
            fputs(text, f);
            fclose(f);
        }
        return path;
    }

    int ReadInt(const std::string& path, const char* section, const char* key)
    {
        return settings_.readInt(settings_.context, path.c_str(), section, key, 7);
    }

    std::string ReadText(const std::string& path, const char* section, const char* key, size_t size = 64)
    {
        char out[64] = "untouched";
        settings_.readText(settings_.context, path.c_str(), section, key, "none", out, size);
        return out;
    }

#ifdef _WIN32
    platform::Win32Platform os_;
#else
    platform::PosixPlatform os_;
#endif
    platform::SettingsOps settings_ = {};
    std::string folder_;
};

TEST_F(SettingsFile, ReadsAsTheProfileCalls)
{
    int n = 0;
    for (const ReadCase& c : kReads) {
        SCOPED_TRACE(c.text);
        std::string path = File(++n, c.text);
        EXPECT_EQ(ReadInt(path, c.section, c.key), c.asInt);
        EXPECT_EQ(ReadText(path, c.section, c.key), c.asText);
        std::string value;
        const bool found = ini::Find(c.text, c.section, c.key, &value);
        EXPECT_EQ(found ? value : std::string("none"), c.asText) << "the rules the POSIX seam reads by";
        EXPECT_EQ(found && !value.empty() ? ini::LeadingInt(value) : 7, c.asInt);
        remove(path.c_str());
    }
    std::string path = File(++n, nullptr);
    EXPECT_EQ(ReadInt(path, "Main", "A"), 7) << "no file";
    EXPECT_EQ(ReadText(path, "Main", "A"), "none");
    path = File(++n, "[GENERAL]\nModelName=ABCDEFG\n");
    EXPECT_EQ(ReadText(path, "general", "modelname", 4), "ABC") << "cut to the buffer";
    remove(path.c_str());
}

// A key written keeps every other key; a new key joins its section; a new section and
// a new file are made.
TEST_F(SettingsFile, WritesKeepTheRestOfTheFile)
{
    const char* text = "; plover\n[LedTime Z3]\nR_ON=1\nG_OFF=1300\n\n[Main]\nMCLK=20\n";
    std::string path = File(1, text);
    ASSERT_TRUE(settings_.write(settings_.context, path.c_str(), "ledtime z3", "g_off", "1111"));
    ASSERT_TRUE(settings_.write(settings_.context, path.c_str(), "LedTime Z3", "B_OFF", "900"));
    ASSERT_TRUE(settings_.write(settings_.context, path.c_str(), "Shadding", "Line Gain R", "16"));
    EXPECT_EQ(ReadInt(path, "LedTime Z3", "G_OFF"), 1111);
    EXPECT_EQ(ReadInt(path, "LedTime Z3", "B_OFF"), 900);
    EXPECT_EQ(ReadInt(path, "LedTime Z3", "R_ON"), 1);
    EXPECT_EQ(ReadInt(path, "Main", "MCLK"), 20);
    EXPECT_EQ(ReadInt(path, "Shadding", "Line Gain R"), 16);
    std::string set = ini::Set(ini::Set(text, "ledtime z3", "g_off", "1111"), "LedTime Z3", "B_OFF", "900");
    EXPECT_EQ(set, "; plover\n[LedTime Z3]\nR_ON=1\nG_OFF=1111\nB_OFF=900\n\n[Main]\nMCLK=20\n");
    remove(path.c_str());

    path = File(2, nullptr);
    ASSERT_TRUE(settings_.write(settings_.context, path.c_str(), "Main", "MCLK", "30"));
    EXPECT_EQ(ReadInt(path, "Main", "MCLK"), 30);
    remove(path.c_str());
}

} // namespace
