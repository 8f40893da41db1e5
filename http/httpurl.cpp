#include "http/httpurl.h"

#include "http/httpencoding.h"

long DefaultPortFor(const wxString& scheme)
{
    return scheme == wxS("https") ? 443 : 80;
}

bool ParseUrl(const wxString& url, HttpUrl& parts)
{
    for (wxString::const_iterator it = url.begin(); it != url.end(); ++it)
    {
        const wxUint32 code = static_cast<wxUint32>((*it).GetValue());
        if (code <= 0x20 || code == 0x7F)
            return false;
    }

    const size_t colon = url.find(wxS(':'));
    if (colon == wxString::npos)
        return false;
    HttpUrl result;
    result.scheme = url.substr(0, colon);
    if (url.compare(colon + 1, 2, wxS("//")) != 0)
        return false;

    const wxString rest = url.substr(colon + 3);
    const size_t slash = rest.find(wxS('/'));
    if (slash == 0 || rest.empty())
        return false;
    wxString authority;
    if (slash == wxString::npos)
    {
        authority = rest;
        result.path = wxS("/");
    }
    else
    {
        authority = rest.substr(0, slash);
        result.path = rest.substr(slash);
    }

    wxString hostPart = authority;
    const size_t at = authority.find(wxS('@'));
    if (at != wxString::npos)
    {
        const wxString userInfo = authority.substr(0, at);
        hostPart = authority.substr(at + 1);
        const size_t split = userInfo.find(wxS(':'));
        result.user = userInfo.substr(0, split);
        if (split != wxString::npos)
            result.password = userInfo.substr(split + 1);
        result.hasUser = !userInfo.empty();
    }

    const size_t portColon = hostPart.find(wxS(':'));
    if (portColon != wxString::npos)
    {
        result.host = hostPart.substr(0, portColon);
        const std::int64_t port = ParseLeadingInteger(hostPart.substr(portColon + 1));
        // A number the 16-bit port would wrap to another port is refused.
        if (port < 0 || port > 65535)
            return false;
        result.port = static_cast<long>(port);
    }
    else
    {
        result.host = hostPart;
        result.port = DefaultPortFor(result.scheme);
    }

    parts = result;
    return true;
}
