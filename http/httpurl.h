// Splitting of the URLs the request builder is given.
#ifndef PONTIRO_HTTP_HTTPURL_H
#define PONTIRO_HTTP_HTTPURL_H

#include <wx/string.h>

struct HttpUrl
{
    wxString scheme;
    wxString host;
    // From the first '/' after the authority, query and fragment included.
    wxString path;
    wxString user;
    wxString password;
    // The port named by the URL (0 for a ':' without digits, which connects
    // to 80), else the scheme's default.
    long port = 0;
    // The authority held user information before an '@'.
    bool hasUser = false;
};

// scheme "://" [user [":" password] "@"] host [":" port] [path]. Fails on a
// missing "://", an empty authority, a port outside 0..65535, and on
// control characters or blanks anywhere (they would break the request line).
bool ParseUrl(const wxString& url, HttpUrl& parts);

// The scheme's port when the URL names none: 443 for "https" (exact case),
// else 80.
long DefaultPortFor(const wxString& scheme);

#endif
