// The text table: completeness, code-page encoding, sizes, the English wording
// and the lookup by the current interface language.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "ui/text_table.h"

namespace {

// Every text number kestrel's windows and messages use.
const int kTextNumbers[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 15, 16, 19, 21, 23,
                            24, 25, 27, 29, 30, 33, 34, 35, 36, 38, 41, 42, 43, 50, 51, 53};

const char* const kLanguageNames[LANGUAGE_COUNT] = {
    "English", "French", "Spanish", "Italian", "German",
    "Traditional Chinese", "Simplified Chinese", "Japanese"};

std::string Describe(int languageId, int number)
{
    return std::string(kLanguageNames[languageId - FIRST_LANGUAGE_ID]) + " text " +
           std::to_string(number);
}

std::wstring ToWide(UINT codePage, const char* text)
{
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (n <= 0)
        return L"<invalid>";
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, &wide[0], n);
    wide.resize(n - 1);
    return wide;
}

bool IsEastAsian(wchar_t c)
{
    return (c >= 0x3040 && c <= 0x30FF)      // kana
           || (c >= 0x4E00 && c <= 0x9FFF);  // unified ideographs
}

// Restores the interface language after a test that changes it.
class TextTableTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = LanguageId; }
    void TearDown() override { LanguageId = saved_; }

private:
    int saved_ = 0;
};

TEST_F(TextTableTest, EveryNumberHasATextInEveryLanguageAndOthersAreEmpty)
{
    for (int id = FIRST_LANGUAGE_ID; id <= LAST_LANGUAGE_ID; ++id) {
        for (int number : kTextNumbers) {
            const char* text = GetTextIn(id, number);
            ASSERT_NE(text, nullptr) << Describe(id, number);
            EXPECT_NE(text[0], '\0') << Describe(id, number);
        }
        for (int unused : {-1, 0, 12, 13, 14, 52, 54, 1000}) {
            const char* text = GetTextIn(id, unused);
            ASSERT_NE(text, nullptr) << Describe(id, unused);
            EXPECT_STREQ(text, "") << Describe(id, unused);
        }
    }
}

// What reaches the 8-bit window functions must be valid text of the language's
// code page, and exactly representable in it (no best-fit or default chars).
TEST_F(TextTableTest, EveryTextRoundTripsThroughItsCodePage)
{
    for (int id = FIRST_LANGUAGE_ID; id <= LAST_LANGUAGE_ID; ++id) {
        const UINT codePage = LanguageCodePage(id);
        for (int number : kTextNumbers) {
            const char* text = GetTextIn(id, number);
            std::wstring wide = ToWide(codePage, text);
            ASSERT_NE(wide, L"<invalid>") << Describe(id, number) << " is not valid in "
                                          << codePage;

            BOOL usedDefault = FALSE;
            int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1,
                                        nullptr, 0, nullptr, &usedDefault);
            ASSERT_GT(n, 0) << Describe(id, number);
            std::string back(n, '\0');
            WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &back[0], n,
                                nullptr, &usedDefault);
            back.resize(n - 1);
            EXPECT_FALSE(usedDefault) << Describe(id, number);
            EXPECT_EQ(back, text) << Describe(id, number);

            // Only line breaks as control characters; a backslash would be an
            // escape that the conversion of the text source missed.
            for (wchar_t c : wide) {
                EXPECT_TRUE(c == L'\n' || c >= 0x20) << Describe(id, number);
                EXPECT_NE(c, L'\\') << Describe(id, number);
            }
        }
    }
}

// A column stored in the wrong code page can still decode without error, but
// then gives no East Asian characters, or the wrong ones.
TEST_F(TextTableTest, EastAsianColumnsDecodeToTheirScript)
{
    for (int id : {LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE, LANGUAGE_JAPANESE}) {
        for (int number : kTextNumbers) {
            std::wstring wide = ToWide(LanguageCodePage(id), GetTextIn(id, number));
            bool found = false;
            for (wchar_t c : wide)
                found = found || IsEastAsian(c);
            EXPECT_TRUE(found) << Describe(id, number);
        }
    }
    // Text 21, the Cancel caption, fixed for all eight languages.
    const wchar_t* const cancel[LANGUAGE_COUNT] = {
        L"Cancel", L"Annuler", L"Cancelar", L"Annulla", L"Abbrechen",
        L"\x53D6\x6D88(&C)", L"\x53D6\x6D88", L"\x30AD\x30E3\x30F3\x30BB\x30EB"};
    for (int id = FIRST_LANGUAGE_ID; id <= LAST_LANGUAGE_ID; ++id) {
        EXPECT_EQ(ToWide(LanguageCodePage(id), GetTextIn(id, 21)), cancel[id - FIRST_LANGUAGE_ID])
            << kLanguageNames[id - FIRST_LANGUAGE_ID];
    }
    EXPECT_EQ(LanguageCodePage(LANGUAGE_GERMAN), 1252u);
    EXPECT_EQ(LanguageCodePage(LANGUAGE_TRADITIONAL_CHINESE), 950u);
    EXPECT_EQ(LanguageCodePage(LANGUAGE_SIMPLIFIED_CHINESE), 936u);
    EXPECT_EQ(LanguageCodePage(LANGUAGE_JAPANESE), 932u);
}

TEST_F(TextTableTest, LongestTextFitsTheDocumentedBuffer)
{
    size_t longest = 0;
    std::string which;
    for (int id = FIRST_LANGUAGE_ID; id <= LAST_LANGUAGE_ID; ++id) {
        for (int number : kTextNumbers) {
            size_t length = std::strlen(GetTextIn(id, number));
            if (length > longest) {
                longest = length;
                which = Describe(id, number);
            }
        }
    }
    // Callers size their buffers for 368 bytes and the NUL.
    EXPECT_LE(longest, 368u) << which;
    EXPECT_LT(longest, static_cast<size_t>(TEXT_BUFFER_SIZE)) << which;

    // The wide form fits a buffer of the same count, as GetTextWide promises.
    wchar_t wide[TEXT_BUFFER_SIZE];
    for (int id = FIRST_LANGUAGE_ID; id <= LAST_LANGUAGE_ID; ++id) {
        for (int number : kTextNumbers)
            EXPECT_GT(GetTextWide(id, number, wide, TEXT_BUFFER_SIZE), 0) << Describe(id, number);
    }
}

TEST_F(TextTableTest, EnglishWordingIsExact)
{
    struct {
        int number;
        const char* text;
    } const english[] = {
        {1, "The calibration data is successfully updated.\n\nYou should have a better picture "
            "for the next scanning!"},
        {2, "Please insert the item to be scanned into the scanner printed face-up now."},
        {3, "The calibration process has failed.\n\nCheck if the Calibration Paper is inserted "
            "properly and the scanner is ready."},
        {4, "Scanning is aborted due to scanner either not powered on or not connected to the PC "
            "properly.\n\nPlease check the hardware and try again."},
        {5, "Scanning is aborted due to paper not feed properly!"},
        {9, "Scanning is aborted due to out of disk space or disk damaged!"},
        {10, "Scanning is aborted due to I/O port busy!"},
        {15, "Free disk space:"},
        {16, "Image size"},
        {24, "To make sure you can always get the best scanned image quality, this calibration "
             "page will show up by the scanner driver periodically or when you press the "
             "'Calibrate' button in the 'Custom Settng' page."},
        {25, "Insert the Calibration Paper or a piece of bright white sheet of the same size.\n\n"
             "When ready, press the Calib. button."},
        {29, "Scanner Model: "},
        {30, "Version: "},
        {34, "Custom Setting"},
        {35, "Black/White"},
        {38, "Resolution(dpi):"},
        {41, "Invert image"},
        {53, "Scan"},
    };
    for (const auto& e : english)
        EXPECT_STREQ(GetTextIn(LANGUAGE_ENGLISH, e.number), e.text) << "text " << e.number;
}

TEST_F(TextTableTest, TranslationsKeepTheirFixedParts)
{
    const char kTitle[] = "RODUV Azazira Divorad Ideve\n";
    for (int id = FIRST_LANGUAGE_ID; id <= LAST_LANGUAGE_ID; ++id) {
        const char* about = GetTextIn(id, 33);
        EXPECT_EQ(std::strncmp(about, kTitle, sizeof kTitle - 1), 0) << Describe(id, 33);
        EXPECT_GT(std::strlen(about), sizeof kTitle + 40) << Describe(id, 33);
        // The calibration button is "C&alib." in every language.
        EXPECT_NE(std::strstr(GetTextIn(id, 25), "Calib."), nullptr) << Describe(id, 25);
    }
    EXPECT_STREQ(GetTextIn(LANGUAGE_GERMAN, 38), "Aufl\xF6sung (dpi)");
}

// Traditional Chinese button captions carry their own mnemonic, distinct on the
// Custom Setting page; anywhere else a '&' would underline a letter.
TEST_F(TextTableTest, OnlyTraditionalChineseButtonsHaveMnemonics)
{
    const int buttons[] = {21, 35, 36, 41, 50, 51, 53};
    std::set<char> keys;
    for (int number : buttons) {
        std::string text = GetTextIn(LANGUAGE_TRADITIONAL_CHINESE, number);
        ASSERT_GE(text.size(), 4u) << number;
        std::string tail = text.substr(text.size() - 4);
        EXPECT_TRUE(tail[0] == '(' && tail[1] == '&' && tail[2] >= 'A' && tail[2] <= 'Z' &&
                    tail[3] == ')')
            << "text " << number;
        EXPECT_TRUE(keys.insert(tail[2]).second) << "mnemonic used twice: " << tail[2];
    }
    for (int id = FIRST_LANGUAGE_ID; id <= LAST_LANGUAGE_ID; ++id) {
        for (int number : kTextNumbers) {
            bool button = id == LANGUAGE_TRADITIONAL_CHINESE &&
                          std::find(std::begin(buttons), std::end(buttons), number) !=
                              std::end(buttons);
            std::wstring wide = ToWide(LanguageCodePage(id), GetTextIn(id, number));
            EXPECT_EQ(std::count(wide.begin(), wide.end(), L'&'), button ? 1 : 0)
                << Describe(id, number);
        }
    }
}

TEST_F(TextTableTest, GetTextFollowsLanguageId)
{
    EXPECT_EQ(LanguageId, LANGUAGE_ENGLISH);  // before the profile is read
    for (int id = FIRST_LANGUAGE_ID; id <= LAST_LANGUAGE_ID; ++id) {
        LanguageId = id;
        for (int number : kTextNumbers)
            EXPECT_EQ(GetText(number), GetTextIn(id, number)) << Describe(id, number);
    }
    LanguageId = LANGUAGE_JAPANESE;
    EXPECT_EQ(ToWide(932, GetText(19)), L"\x8A00\x8A9E");  // 言語
    LanguageId = LANGUAGE_ENGLISH;
    EXPECT_STREQ(GetText(19), "Language");

    // A language outside the table has no column: empty texts, never a read
    // past the table and never NULL.
    for (int outside : {0, 1209, 1218, -1210}) {
        LanguageId = outside;
        ASSERT_NE(GetText(21), nullptr);
        EXPECT_STREQ(GetText(21), "") << outside;
    }
}

TEST_F(TextTableTest, GetTextWideConvertsOrLeavesAnEmptyBuffer)
{
    wchar_t buffer[16];
    EXPECT_EQ(GetTextWide(LANGUAGE_JAPANESE, 21, buffer, 16), 5);
    EXPECT_STREQ(buffer, L"\x30AD\x30E3\x30F3\x30BB\x30EB");

    wmemset(buffer, L'x', 16);
    EXPECT_EQ(GetTextWide(LANGUAGE_ENGLISH, 2, buffer, 16), 0);  // too long for 16
    EXPECT_EQ(buffer[0], L'\0');

    wmemset(buffer, L'x', 16);
    EXPECT_EQ(GetTextWide(LANGUAGE_ENGLISH, 12, buffer, 16), 0);  // no such text
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(GetTextWide(LANGUAGE_ENGLISH, 21, nullptr, 16), 0);
}

}  // namespace
