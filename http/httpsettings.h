// Proxy and server credentials of the request builder.
#ifndef PONTIRO_HTTP_HTTPSETTINGS_H
#define PONTIRO_HTTP_HTTPSETTINGS_H

#include <wx/defs.h>
#include <wx/string.h>

class wxProxySettings
{
public:
    wxProxySettings();
    virtual ~wxProxySettings();

    wxString m_host;
    wxString m_user;
    wxString m_password;
    // Hosts that bypass the proxy (suffix match), cut at m_exceptionDelimiter.
    wxString m_exceptions;
    wxString m_exceptionDelimiter;
    wxInt32 m_port;
    bool m_enabled;
    // Send a Proxy-Authorization header (Basic) built from m_user/m_password.
    bool m_requiresAuth;
};

class wxHTTPAuthSettings
{
public:
    enum AuthType
    {
        AuthNone = 0,
        AuthBasic = 1
    };

    wxHTTPAuthSettings();
    virtual ~wxHTTPAuthSettings();

    wxString m_user;
    wxString m_password;
    wxInt32 m_authType;
};

#endif
