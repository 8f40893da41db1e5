#include "http/httpencoding.h"

#include <wx/strconv.h>

#include <cctype>
#include <cstdint>
#include <limits>
#include <random>

wxString UrlEncode(const wxString& text)
{
    wxString result;
    result.reserve(text.length());
    for (wxString::const_iterator it = text.begin(); it != text.end(); ++it)
    {
        const wxUint32 code = static_cast<wxUint32>((*it).GetValue());
        if (code <= 0xFF && std::isalnum(static_cast<int>(code)))
            result += *it;
        else if (code == '-' || code == '@' || code == '*' || code == '_')
            result += *it;
        else if (code == '\n')
            result += wxS("%0D%0A");
        else if (code == ' ')
            result += wxS('+');
        else
            result += wxString::Format(wxS("%%%02X"), static_cast<unsigned>(code));
    }
    return result;
}

wxString MakeBoundary(size_t length)
{
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof(kAlphabet)) - 2);

    wxString result;
    result.reserve(length);
    for (size_t i = 0; i < length; ++i)
    {
        if (i < 2 || i < (length / 3) * 2)
            result += wxS('-');
        else
            result += wxUniChar(kAlphabet[pick(generator)]);
    }
    return result;
}

std::int64_t ParseLeadingInteger(const char* text, size_t length)
{
    size_t i = 0;
    while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-'))
    {
        negative = text[i] == '-';
        ++i;
    }
    const std::int64_t limit = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i)
    {
        const int digit = text[i] - '0';
        if (value > (limit - digit) / 10)
            value = limit;
        else
            value = value * 10 + digit;
    }
    return negative ? -value : value;
}

std::int64_t ParseLeadingInteger(const wxString& text)
{
    // Only ASCII can be a blank, a sign or a digit; anything else ends the number.
    std::string ascii;
    ascii.reserve(text.length());
    for (wxString::const_iterator it = text.begin(); it != text.end(); ++it)
    {
        const wxUint32 code = static_cast<wxUint32>((*it).GetValue());
        ascii += code < 0x80 ? static_cast<char>(code) : '\x7F';
    }
    return ParseLeadingInteger(ascii.data(), ascii.size());
}

bool ToNarrow(const wxString& text, std::string& bytes)
{
    bytes.clear();
    if (text.empty())
        return true;
    const wxScopedCharBuffer buffer = text.mb_str(wxConvLibc);
    if (buffer.length() == 0)
        return false;
    bytes.assign(buffer.data(), buffer.length());
    return true;
}
