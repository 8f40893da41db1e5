// What a run asks the web service for, and through which proxy.
#ifndef PONTIRO_SYNC_SERVERPROTOCOL_H
#define PONTIRO_SYNC_SERVERPROTOCOL_H

#include <wx/string.h>

class wxHTTPBuilder;

// "http://" + host + url + "?user=PND;uri=" + the sealed path. Nothing is
// escaped: the server takes the Base64 text as it is.
wxString ComposeRequestUrl(const wxString& host, const wxString& url, const wxString& path);

// The sealed paths of the three requests. The address-book request carries
// the login, as typed.
wxString AddressBookPath(const wxString& email, const wxString& password);
wxString SpeedCamPath(int deviceKind);
wxString SecondSpeedCamPath();

// The system's proxy setting as found at the start of a run.
struct ProxySetting
{
    bool enabled = false;
    wxString host;
    int port = 8080;
    wxString user;        // proxy credentials, when the setting names them
    wxString password;
    wxString exceptions;  // hosts that go direct, separated by ","
};

// Reads the system setting: the current user's Internet Settings on
// Windows, http_proxy/HTTP_PROXY and no_proxy/NO_PROXY elsewhere.
ProxySetting DiscoverProxy();
// The Windows "ProxyServer" text: host before the first ":", port after it.
ProxySetting ParseProxyServerValue(const wxString& value);
// An http_proxy-style value ([scheme://][user[:password]@]host[:port][/])
// and a no_proxy-style list.
ProxySetting ParseProxyEnvironment(const wxString& proxy, const wxString& noProxy);
// Switches the builder's proxy on as the setting says (when enabled).
void ApplyProxy(wxHTTPBuilder& builder, const ProxySetting& setting);

#endif
