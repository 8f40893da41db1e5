#include "sync/serverprotocol.h"

#include "crypt/seal.h"
#include "http/httpbuilder.h"
#include "sync/syncdefs.h"

#include <wx/tokenzr.h>
#include <wx/uri.h>
#include <wx/utils.h>

#ifdef __WXMSW__
#include <wx/msw/registry.h>
#endif

wxString ComposeRequestUrl(const wxString& host, const wxString& url, const wxString& path)
{
    return wxT("http://") + host + url + wxT("?user=PND;uri=") + SealText(path);
}

wxString AddressBookPath(const wxString& email, const wxString& password)
{
    return wxT("/BtoB/PND/session?email=") + email + wxT("&password=") + password;
}

wxString SpeedCamPath(int deviceKind)
{
    return deviceKind == DEVICE_KIND_TARVIK ? wxT("/BtoB/PND/radarsv3") : wxT("/BtoB/PND/radars");
}

wxString SecondSpeedCamPath()
{
    return wxT("/BtoB/PND/radarsv2");
}

namespace
{

// Reads a port number; `fallback` when the text holds none that fits.
int ReadPort(const wxString& text, int fallback)
{
    unsigned long port = 0;
    if (text.empty() || !text.ToULong(&port) || port == 0 || port > 65535)
        return fallback;
    return static_cast<int>(port);
}

} // namespace

ProxySetting ParseProxyServerValue(const wxString& value)
{
    ProxySetting setting;
    const wxArrayString pieces = wxStringTokenize(value, wxT(":"), wxTOKEN_STRTOK);
    if (pieces.empty())
        return setting;
    setting.enabled = true;
    setting.host = pieces[0];
    if (pieces.size() > 1)
    {
        long port = 0;
        pieces[1].ToLong(&port);
        setting.port = static_cast<int>(port);
    }
    return setting;
}

ProxySetting ParseProxyEnvironment(const wxString& proxy, const wxString& noProxy)
{
    ProxySetting setting;
    wxString rest = proxy;
    rest.Trim(true).Trim(false);
    const int scheme = rest.Find(wxT("://"));
    if (scheme != wxNOT_FOUND)
        rest = rest.Mid(static_cast<size_t>(scheme) + 3);
    rest = rest.BeforeFirst('/');

    const int at = rest.Find('@', true);
    if (at != wxNOT_FOUND)
    {
        const wxString credentials = rest.Left(static_cast<size_t>(at));
        rest = rest.Mid(static_cast<size_t>(at) + 1);
        setting.user = wxURI::Unescape(credentials.BeforeFirst(':'));
        if (credentials.Find(':') != wxNOT_FOUND)
            setting.password = wxURI::Unescape(credentials.AfterFirst(':'));
    }

    wxString port;
    if (rest.StartsWith(wxT("[")))
    {
        // A bracketed IPv6 address keeps its colons.
        setting.host = rest.Mid(1).BeforeFirst(']');
        port = rest.AfterFirst(']').AfterFirst(':');
    }
    else
    {
        setting.host = rest.BeforeFirst(':');
        port = rest.AfterFirst(':');
    }
    setting.port = ReadPort(port, 8080);
    setting.enabled = !setting.host.empty();

    wxString exceptions;
    for (wxString entry : wxStringTokenize(noProxy, wxT(", "), wxTOKEN_STRTOK))
    {
        if (entry == wxT("*"))
        {
            setting.enabled = false;
            break;
        }
        // "*.example.com" and ".example.com" both mean the domain's hosts;
        // the builder matches suffixes.
        if (entry.StartsWith(wxT("*")))
            entry = entry.Mid(1);
        if (!exceptions.empty())
            exceptions += wxT(",");
        exceptions += entry;
    }
    setting.exceptions = exceptions;
    return setting;
}

ProxySetting DiscoverProxy()
{
#ifdef __WXMSW__
    // A missing key or value means no proxy.
    ProxySetting setting;
    wxRegKey key(wxRegKey::HKCU, wxT("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"));
    long enabled = 0;
    if (!key.Exists() || !key.Open(wxRegKey::Read) || !key.HasValue(wxT("ProxyEnable")) ||
        !key.QueryValue(wxT("ProxyEnable"), &enabled) || enabled == 0)
        return setting;
    wxString server;
    if (key.HasValue(wxT("ProxyServer")))
        key.QueryValue(wxT("ProxyServer"), server);
    return ParseProxyServerValue(server);
#else
    wxString proxy, noProxy;
    if (!wxGetEnv(wxT("http_proxy"), &proxy) || proxy.empty())
        wxGetEnv(wxT("HTTP_PROXY"), &proxy);
    if (!wxGetEnv(wxT("no_proxy"), &noProxy) || noProxy.empty())
        wxGetEnv(wxT("NO_PROXY"), &noProxy);
    return ParseProxyEnvironment(proxy, noProxy);
#endif
}

void ApplyProxy(wxHTTPBuilder& builder, const ProxySetting& setting)
{
    if (!setting.enabled)
        return;
    builder.SetProxy(setting.host, setting.port);
    wxProxySettings& proxy = builder.GetProxySettings();
    if (!setting.user.empty())
    {
        proxy.m_user = setting.user;
        proxy.m_password = setting.password;
        proxy.m_requiresAuth = true;
    }
    proxy.m_exceptions = setting.exceptions;
    proxy.m_exceptionDelimiter = wxT(",");
}
