#include "ini_text.h"

#include <stdint.h>
#include <vector>

namespace ini {

namespace {

enum class Kind { Blank, Section, Key, Other };

struct Line {
    size_t begin = 0, end = 0; // the line without its line ending
    size_t next = 0;           // where the next line starts
    Kind kind = Kind::Blank;
    std::string name, value;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& text, size_t from, size_t to)
{
    while (from < to && IsBlank(text[from]))
        ++from;
    while (to > from && IsBlank(text[to - 1]))
        --to;
    return text.substr(from, to - from);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return i == a.size() && !b[i];
}

std::vector<Line> Parse(const std::string& text)
{
    std::vector<Line> lines;
    for (size_t at = 0; at < text.size();) {
        Line l;
        l.begin = at;
        size_t newline = text.find('\n', at);
        l.end = newline == std::string::npos ? text.size() : newline;
        l.next = newline == std::string::npos ? text.size() : newline + 1;
        std::string body = Trim(text, l.begin, l.end);
        size_t equals = body.find('=');
        if (body.empty()) {
            l.kind = Kind::Blank;
        } else if (body[0] == '[') {
            l.kind = Kind::Section;
            size_t close = body.find(']');
            l.name = Trim(body, 1, close == std::string::npos ? body.size() : close);
        } else if (equals != std::string::npos) {
            l.kind = Kind::Key;
            l.name = Trim(body, 0, equals);
            l.value = Trim(body, equals + 1, body.size());
        } else {
            l.kind = Kind::Other;
        }
        lines.push_back(l);
        at = l.next;
    }
    return lines;
}

std::string Unquoted(const std::string& value)
{
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

// Lines [first, last) of the first section named `section`; false when there is none.
bool SectionLines(const std::vector<Line>& lines, const char* section, size_t* first, size_t* last)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Kind::Section || !SameName(lines[i].name, section))
            continue;
        size_t j = i + 1;
        while (j < lines.size() && lines[j].kind != Kind::Section)
            ++j;
        *first = i + 1;
        *last = j;
        return true;
    }
    return false;
}

} // namespace

bool Find(const std::string& text, const char* section, const char* key, std::string* value)
{
    const std::vector<Line> lines = Parse(text);
    size_t first = 0, last = 0;
    if (!SectionLines(lines, section, &first, &last))
        return false;
    for (size_t i = first; i < last; ++i) {
        if (lines[i].kind == Kind::Key && SameName(lines[i].name, key)) {
            *value = Unquoted(lines[i].value);
            return true;
        }
    }
    return false;
}

std::string Set(const std::string& text, const char* section, const char* key, const char* value)
{
    const std::vector<Line> lines = Parse(text);
    const std::string eol = !lines.empty() && lines[0].end > lines[0].begin && text[lines[0].end - 1] == '\r'
                                ? "\r\n" : "\n";
    const std::string entry = std::string(key) + "=" + value;
    size_t first = 0, last = 0;
    if (!SectionLines(lines, section, &first, &last)) {
        std::string out = text;
        if (!out.empty() && out.back() != '\n')
            out += eol;
        return out + "[" + section + "]" + eol + entry + eol;
    }
    for (size_t i = first; i < last; ++i)
        if (lines[i].kind == Kind::Key && SameName(lines[i].name, key))
            return text.substr(0, lines[i].begin) + lines[i].name + "=" + value + text.substr(lines[i].end);
    // After the section's last line that is not blank.
    size_t after = first - 1;
    for (size_t i = first; i < last; ++i)
        if (lines[i].kind != Kind::Blank)
            after = i;
    const Line& anchor = lines[after];
    std::string out = text.substr(0, anchor.next);
    if (anchor.next == anchor.end) // the last line had no line ending
        out += eol;
    return out + entry + eol + text.substr(anchor.next);
}

int LeadingInt(const std::string& value)
{
    size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+'))
        negative = value[i++] == '-';
    uint32_t n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        n = n * 10u + uint32_t(value[i] - '0');
    return int(negative ? 0u - n : n);
}

} // namespace ini
