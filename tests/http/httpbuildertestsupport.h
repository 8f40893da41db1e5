// Small helpers shared by the request builder tests.
#ifndef PONTIRO_TESTS_HTTP_HTTPBUILDERTESTSUPPORT_H
#define PONTIRO_TESTS_HTTP_HTTPBUILDERTESTSUPPORT_H

#include <wx/stream.h>

#include <string>
#include <vector>

class wxHTTPBuilderStream;

// The body as the download thread reads it: 10240-byte reads into one
// growing buffer until a read delivers nothing.
struct ReadResult
{
    std::string body;
    std::vector<size_t> reads;
    wxStreamError lastError = wxSTREAM_NO_ERROR;
};
ReadResult ReadAll(wxHTTPBuilderStream& stream, size_t chunk = 10240);

// The header names of a recorded request head, in order.
std::vector<std::string> HeaderNames(const std::string& request);
// The value of one header of a recorded request, "" when absent.
std::string HeaderValue(const std::string& request, const std::string& name);

#endif
