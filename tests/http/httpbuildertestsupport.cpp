#include "tests/http/httpbuildertestsupport.h"

#include "http/httpbuilder.h"

ReadResult ReadAll(wxHTTPBuilderStream& stream, size_t chunk)
{
    ReadResult result;
    std::vector<char> buffer;
    size_t count = 0;
    for (;;)
    {
        buffer.resize(count + chunk);
        stream.Read(buffer.data() + count, chunk);
        const size_t got = stream.LastRead();
        result.reads.push_back(got);
        count += got;
        if (got == 0)
            break;
    }
    result.body.assign(buffer.data(), count);
    result.lastError = stream.GetLastError();
    return result;
}

std::vector<std::string> HeaderNames(const std::string& request)
{
    std::vector<std::string> names;
    const size_t end = request.find("\r\n\r\n");
    size_t pos = request.find("\r\n");
    while (pos != std::string::npos && pos < end)
    {
        pos += 2;
        const size_t colon = request.find(':', pos);
        names.push_back(request.substr(pos, colon - pos));
        pos = request.find("\r\n", pos);
    }
    return names;
}

std::string HeaderValue(const std::string& request, const std::string& name)
{
    const size_t end = request.find("\r\n\r\n");
    const size_t at = request.find("\r\n" + name + ": ");
    if (at == std::string::npos || at >= end)
        return std::string();
    const size_t start = at + 4 + name.size();
    return request.substr(start, request.find("\r\n", start) - start);
}
