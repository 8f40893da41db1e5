#include "http/httpresponsehead.h"

#include "http/httpencoding.h"

#include <cstring>

namespace
{

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Stripped(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

wxString FromLatin1(const std::string& bytes)
{
    return wxString::From8BitData(bytes.data(), bytes.size());
}

} // namespace

HttpResponseHead::HttpResponseHead(size_t maxLineLength, size_t maxHeaderLines)
    : m_maxLineLength(maxLineLength), m_maxHeaderLines(maxHeaderLines)
{
}

size_t HttpResponseHead::Feed(const char* data, size_t size)
{
    size_t used = 0;
    while (m_state == kNeedMore && used < size)
    {
        const char* start = data + used;
        const size_t left = size - used;
        const void* found = std::memchr(start, '\n', left);
        const size_t take = found ? static_cast<size_t>(static_cast<const char*>(found) - start) : left;
        // The line may still end in the CR of its CR LF, hence the one spare byte.
        if (m_line.size() + take > m_maxLineLength + 1)
        {
            SetFailed(kLineTooLong);
            return used + take;
        }
        m_line.append(start, take);
        used += take;
        if (!found)
            break;
        ++used; // the line feed
        if (!m_line.empty() && m_line.back() == '\r')
            m_line.pop_back();
        if (m_line.size() > m_maxLineLength)
        {
            SetFailed(kLineTooLong);
            return used;
        }
        std::string line;
        line.swap(m_line);
        TakeLine(line);
    }
    return used;
}

void HttpResponseHead::Finish()
{
    if (m_state == kNeedMore)
        SetFailed(kTruncated);
}

void HttpResponseHead::TakeLine(const std::string& line)
{
    if (!m_sawStatusLine)
        TakeStatusLine(line);
    else
        TakeHeaderLine(line);
}

void HttpResponseHead::TakeStatusLine(const std::string& line)
{
    m_sawStatusLine = true;
    if (line.find("HTTP/") == std::string::npos)
    {
        // Some servers answer with the body alone.
        m_state = kComplete;
        return;
    }
    m_hasStatusLine = true;

    // The second space-separated word (runs of spaces count as one).
    std::string code;
    size_t pos = line.find_first_not_of(' ');
    if (pos != std::string::npos)
        pos = line.find(' ', pos);
    if (pos != std::string::npos)
        pos = line.find_first_not_of(' ', pos);
    if (pos != std::string::npos)
        code = line.substr(pos, line.find(' ', pos) - pos);

    m_code = static_cast<long>(ParseLeadingInteger(code.data(), code.size()));
    if (code.empty() || code[0] < '1' || code[0] > '3')
        m_state = kRefused;
}

void HttpResponseHead::TakeHeaderLine(const std::string& line)
{
    if (line.empty())
    {
        m_state = kComplete;
        return;
    }
    if (m_headers.size() >= m_maxHeaderLines)
    {
        SetFailed(kTooManyLines);
        return;
    }
    const size_t colon = line.find(':');
    const std::string name = Stripped(line.substr(0, colon));
    const std::string value = colon == std::string::npos ? std::string() : Stripped(line.substr(colon + 1));
    m_headers.emplace_back(FromLatin1(name), FromLatin1(value));
}

void HttpResponseHead::SetFailed(Failure failure)
{
    m_state = kFailed;
    m_failure = failure;
}
