// Lookup in the compiled-in text table. The table itself is generated at build
// time from texts/texts.txt, already converted to each language's code page.
#include "ui/text_table.h"

namespace {

struct TextEntry {
    int number;
    const char* text[LANGUAGE_COUNT];  // in language column order
};

const TextEntry kTextTable[] = {
#include "text_table_data.inc"
};

const UINT kCodePages[LANGUAGE_COUNT] = {
    1252,  // English
    1252,  // French
    1252,  // Spanish
    1252,  // Italian
    1252,  // German
    950,   // Traditional Chinese
    936,   // Simplified Chinese
    932,   // Japanese
};

bool IsLanguageId(int languageId)
{
    return languageId >= FIRST_LANGUAGE_ID && languageId <= LAST_LANGUAGE_ID;
}

}  // namespace

int LanguageId = LANGUAGE_ENGLISH;

const char* GetTextIn(int languageId, int number)
{
    // An out-of-range language has no column; answer "" rather than read
    // outside the table.
    if (!IsLanguageId(languageId))
        return "";
    for (const TextEntry& entry : kTextTable) {
        if (entry.number == number)
            return entry.text[languageId - FIRST_LANGUAGE_ID];
    }
    return "";
}

const char* GetText(int number)
{
    return GetTextIn(LanguageId, number);
}

UINT LanguageCodePage(int languageId)
{
    return IsLanguageId(languageId) ? kCodePages[languageId - FIRST_LANGUAGE_ID] : 1252;
}

int GetTextWide(int languageId, int number, wchar_t* buffer, int capacity)
{
    if (buffer == nullptr || capacity <= 0)
        return 0;
    buffer[0] = L'\0';
    const char* text = GetTextIn(languageId, number);
    if (text[0] == '\0')
        return 0;
    int length = MultiByteToWideChar(LanguageCodePage(languageId), MB_ERR_INVALID_CHARS,
                                     text, -1, buffer, capacity);
    if (length <= 0) {
        buffer[0] = L'\0';
        return 0;
    }
    return length - 1;
}

std::wstring WidenUiText(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    const UINT codePage = LanguageCodePage(LanguageId);
    int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}
