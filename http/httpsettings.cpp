#include "http/httpsettings.h"

wxProxySettings::wxProxySettings()
    : m_exceptionDelimiter(wxS(",")), m_port(0), m_enabled(false), m_requiresAuth(false)
{
}

wxProxySettings::~wxProxySettings() = default;

wxHTTPAuthSettings::wxHTTPAuthSettings() : m_authType(AuthNone)
{
}

wxHTTPAuthSettings::~wxHTTPAuthSettings() = default;
