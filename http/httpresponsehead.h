// Incremental parser of an HTTP response head: the status line and the
// header lines up to the empty line. Bytes come in as they arrive; the
// parser says how many of them belong to the head, so the rest is body.
#ifndef PONTIRO_HTTP_HTTPRESPONSEHEAD_H
#define PONTIRO_HTTP_HTTPRESPONSEHEAD_H

#include <wx/string.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class HttpResponseHead
{
public:
    enum State
    {
        kNeedMore,     // feed more bytes
        kComplete,     // status line and headers read (or no status line)
        kRefused,      // status code not beginning with 1, 2 or 3; headers not read
        kFailed        // cut, over-long line, too many header lines
    };

    enum Failure
    {
        kNoFailure,
        kTruncated,    // the connection ended inside the head
        kLineTooLong,
        kTooManyLines
    };

    HttpResponseHead(size_t maxLineLength, size_t maxHeaderLines);

    // Takes bytes from data; returns how many belong to the head (all of
    // them while the state stays kNeedMore).
    size_t Feed(const char* data, size_t size);
    // The connection ended: a head still incomplete fails.
    void Finish();

    State GetState() const { return m_state; }
    Failure GetFailure() const { return m_failure; }
    // The first line held no "HTTP/": a response without status and headers
    // whose first line has been consumed.
    bool HasStatusLine() const { return m_hasStatusLine; }
    // The second word of the status line read as an integer; 0 when none.
    long GetCode() const { return m_code; }
    // Name and value of each header line in order, blanks stripped, bytes
    // taken as Latin-1.
    const std::vector<std::pair<wxString, wxString>>& GetHeaders() const { return m_headers; }

private:
    void TakeLine(const std::string& line);
    void TakeStatusLine(const std::string& line);
    void TakeHeaderLine(const std::string& line);
    void SetFailed(Failure failure);

    size_t m_maxLineLength;
    size_t m_maxHeaderLines;
    State m_state = kNeedMore;
    Failure m_failure = kNoFailure;
    bool m_sawStatusLine = false;
    bool m_hasStatusLine = false;
    long m_code = 0;
    std::string m_line;
    std::vector<std::pair<wxString, wxString>> m_headers;
};

#endif
