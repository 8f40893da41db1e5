#include "http/httpbuilder.h"

#include "http/base64.h"
#include "http/hostlookup.h"
#include "http/httpconnection.h"
#include "http/httpencoding.h"
#include "http/httpresponsehead.h"
#include "http/httpurl.h"

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/socket.h>
#include <wx/stream.h>
#include <wx/strconv.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{

const char* const kUserAgent = "Pontiro 1.2";

// The builder's own headers go first, in this order; others follow by name.
const char* const kHeaderOrder[] = {
    "Host", "User-Agent", "Proxy-Authorization", "Content-Length",
    "Authorization", "Content-Type", "Cookie",
};

// "user:password" in Base64; texts beyond Latin-1 go as UTF-8.
wxString BasicCredentials(const wxString& user, const wxString& password)
{
    const wxString pair = user + wxS(":") + password;
    for (wxString::const_iterator it = pair.begin(); it != pair.end(); ++it)
    {
        if ((*it).GetValue() > 0xFF)
        {
            const wxScopedCharBuffer utf8 = pair.utf8_str();
            return Base64EncodeBytes(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.length());
        }
    }
    return Base64Encode(pair);
}

// Removes the temporary multipart file however the request ends.
class TempFileRemover
{
public:
    explicit TempFileRemover(const wxString& path) : m_path(path) {}
    ~TempFileRemover()
    {
        if (!m_path.empty() && wxFileExists(m_path))
            wxRemoveFile(m_path);
    }

private:
    wxString m_path;
};

} // namespace

wxHTTPBuilder::wxHTTPBuilder()
    : m_bytesTotal(0),
      m_bytesSent(0),
      m_stop(false),
      m_connection(new HttpConnection(m_stop)),
      m_hostLookup(SystemHostLookup),
      m_fileFieldCount(0),
      m_viaProxy(false),
      m_bufferedBodyStart(0)
{
    SetTimeout(kDefaultTimeout);
}

wxHTTPBuilder::~wxHTTPBuilder() = default;

void wxHTTPBuilder::RequestStop()
{
    m_stop.store(true);
    m_connection->Wake();
}

void wxHTTPBuilder::SetHostLookup(HostLookup lookup)
{
    m_hostLookup = lookup ? std::move(lookup) : HostLookup(SystemHostLookup);
}

bool wxHTTPBuilder::Close()
{
    m_connection->Close();
    return wxHTTP::Close();
}

bool wxHTTPBuilder::Abort()
{
    return Close();
}

void wxHTTPBuilder::SetProxy(const wxString& host, wxInt32 port)
{
    m_proxy.m_enabled = true;
    m_viaProxy = false;
    m_proxy.m_host = host;
    m_proxy.m_port = port;
}

void wxHTTPBuilder::SetAuth(const wxString& user, const wxString& password, wxInt32 type)
{
    m_auth.m_user = user;
    m_auth.m_password = password;
    m_auth.m_authType = type;
}

wxInt32 wxHTTPBuilder::AddBytesTotal(wxInt32 n)
{
    m_bytesTotal += n;
    return n;
}

wxInt32 wxHTTPBuilder::AddBytesSent(wxInt32 n)
{
    m_bytesSent += n;
    return n;
}

bool wxHTTPBuilder::IsStopRequested()
{
    return m_stop.load();
}

bool wxHTTPBuilder::UseProxyFor(const wxString& host)
{
    const wxString lowerHost = host.Lower();
    const wxString& delimiter = m_proxy.m_exceptionDelimiter;
    wxString rest = m_proxy.m_exceptions;
    while (!rest.empty())
    {
        wxString piece;
        const size_t cut = delimiter.empty() ? wxString::npos : rest.find(delimiter);
        if (cut == wxString::npos)
        {
            piece = rest;
            rest.clear();
        }
        else
        {
            piece = rest.substr(0, cut);
            rest = rest.substr(cut + delimiter.length());
        }

        // Only ASCII blanks are trimmed.
        const auto isBlank = [](wxUniChar c) {
            const wxUint32 code = static_cast<wxUint32>(c.GetValue());
            return code < 127 && (code == ' ' || (code >= '\t' && code <= '\r'));
        };
        size_t begin = 0;
        size_t end = piece.length();
        while (begin < end && isBlank(piece[begin]))
            ++begin;
        while (end > begin && isBlank(piece[end - 1]))
            --end;
        if (begin == end)
            continue;
        const wxString suffix = piece.substr(begin, end - begin).Lower();
        if (lowerHost.length() >= suffix.length() &&
            lowerHost.compare(lowerHost.length() - suffix.length(), suffix.length(), suffix) == 0)
            return false;
    }
    return true;
}

void wxHTTPBuilder::Fail(const wxString& step, wxProtocolError error)
{
    m_status = step;
    // Whatever broke after a stop, it is the stop that ended the request.
    m_lastError = m_stop.load() ? wxPROTO_ABRT : error;
    // Nothing of this request may leak into the next one (a stale
    // Proxy-Authorization must not reach a server reached directly).
    ClearHeaders();
    m_read = true;
    m_bufferedBody.clear();
    m_bufferedBodyStart = 0;
    Close();
}

size_t wxHTTPBuilder::TakeBufferedBody(void* buffer, size_t size)
{
    const size_t count = std::min(size, m_bufferedBody.size() - m_bufferedBodyStart);
    if (count > 0)
    {
        std::memcpy(buffer, m_bufferedBody.data() + m_bufferedBodyStart, count);
        m_bufferedBodyStart += count;
    }
    return count;
}

bool wxHTTPBuilder::Resolve(const wxString& host, unsigned short port)
{
    // What the base's Connect does, with a lookup a stop can end.
    if (m_addr)
    {
        wxDELETE(m_addr);
        Close();
    }
    std::unique_ptr<wxIPV4address> address(new wxIPV4address());
    if (LookUpHost(m_hostLookup, host, *address, m_stop, GetTimeout()) != kHostFound)
    {
        m_lastError = wxPROTO_NETERR;
        return false;
    }
    if (port != 0)
        address->Service(port);
    else if (!address->Service(wxS("http")))
        address->Service(80);
    m_addr = address.release();
    m_lastError = wxPROTO_NOERR;
    return true;
}

bool wxHTTPBuilder::ConnectSocket()
{
    if (!m_addr)
        return false;
    return m_connection->Open(m_addr->GetAddressData(),
                              m_addr->GetAddressDataLen(), GetTimeout());
}

wxHTTPBuilderStream* wxHTTPBuilder::OpenUrl(const wxString& url, const wxString& tempPrefix)
{
    m_status.clear();
    m_http_response = 0;

    HttpUrl parts;
    if (!ParseUrl(url, parts))
    {
        m_status = wxS("Parsing URL");
        return nullptr;
    }
    if (parts.hasUser)
        SetAuth(parts.user, parts.password, wxHTTPAuthSettings::AuthBasic);

    m_lastError = wxPROTO_CONNERR;
    m_viaProxy = m_proxy.m_enabled && UseProxyFor(parts.host);

    // Port 0 ("host:" without digits) means the http port, as the connect does.
    const long port = parts.port != 0 ? parts.port : 80;
    if (m_viaProxy)
    {
        if (m_proxy.m_port < 0 || m_proxy.m_port > 65535 ||
            !Resolve(m_proxy.m_host, static_cast<unsigned short>(m_proxy.m_port)))
        {
            Fail(wxS("Resolving proxy host name"), wxPROTO_NETERR);
            return nullptr;
        }
    }
    else if (!Resolve(parts.host, static_cast<unsigned short>(port)))
    {
        Fail(wxS("Resolving host name"), wxPROTO_NETERR);
        return nullptr;
    }
    // The base names the port in Host; this client never does.
    SetHeader(wxS("Host"), parts.host);

    if (!ConnectSocket())
    {
        Fail(wxS("Connecting to server"), wxPROTO_CONNERR);
        return nullptr;
    }

    wxString target = parts.path;
    if (m_viaProxy)
    {
        target = parts.scheme + wxS("://") + parts.host;
        if (port != DefaultPortFor(parts.scheme))
            target += wxString::Format(wxS(":%ld"), port);
        target += parts.path;
    }

    if (!SendRequest(target, tempPrefix))
    {
        Fail(wxS("Sending Request"), m_lastError == wxPROTO_NOERR ? wxPROTO_NETERR : m_lastError);
        return nullptr;
    }

    wxUint32 contentLength = wxHTTPBuilderStream::NoLength;
    const wxString lengthText = GetHeader(wxS("Content-Length"));
    if (!lengthText.empty())
    {
        const std::int64_t value = ParseLeadingInteger(lengthText);
        // A negative or unrepresentable length is no length: read to the close.
        if (value >= 0 && value < static_cast<std::int64_t>(wxHTTPBuilderStream::NoLength))
            contentLength = static_cast<wxUint32>(value);
    }

    return new wxHTTPBuilderStream(*this, contentLength);
}

std::string wxHTTPBuilder::BuildRequestHead(const wxString& method, const wxString& target, bool* ok) const
{
    *ok = false;
    std::string head;
    std::string part;
    if (!ToNarrow(method + wxS(" ") + target + wxS(" HTTP/1.0\r\n"), part))
        return std::string();
    head += part;

    std::vector<wxString> names;
    for (const char* name : kHeaderOrder)
    {
        if (FindHeader(name) != m_headers.end())
            names.emplace_back(FindHeader(name)->first);
    }
    std::vector<wxString> others;
    for (wxHeaderConstIterator it = m_headers.begin(); it != m_headers.end(); ++it)
    {
        bool known = false;
        for (const char* name : kHeaderOrder)
            known = known || it->first.CmpNoCase(name) == 0;
        if (!known)
            others.push_back(it->first);
    }
    std::sort(others.begin(), others.end());
    names.insert(names.end(), others.begin(), others.end());

    for (const wxString& name : names)
    {
        const wxString& value = m_headers.find(name)->second;
        if (!ToNarrow(name + wxS(": ") + value + wxS("\r\n"), part))
            return std::string();
        head += part;
    }
    head += "\r\n";
    *ok = true;
    return head;
}

long wxHTTPBuilder::ReceiveSome(void* buffer, size_t size, bool waitAll)
{
    return m_connection->Receive(buffer, size, waitAll, GetTimeout());
}

bool wxHTTPBuilder::SendAll(const char* bytes, size_t size)
{
    return m_connection->Send(bytes, size, GetTimeout());
}

bool wxHTTPBuilder::WriteAll(const std::string& bytes)
{
    return SendAll(bytes.data(), bytes.size());
}

bool wxHTTPBuilder::SendMultipartBody(wxInputStream& body)
{
    std::vector<char> chunk(8192);
    while (!body.Eof())
    {
        body.Read(chunk.data(), chunk.size());
        const size_t count = body.LastRead();
        if (count == 0)
            break;
        if (!SendAll(chunk.data(), count))
        {
            m_lastError = wxPROTO_NETERR;
            return false;
        }
        AddBytesSent(static_cast<wxInt32>(count));
        if (IsStopRequested())
        {
            // A body cut short is not a request the server should answer.
            m_lastError = wxPROTO_ABRT;
            return false;
        }
    }
    if (body.GetLastError() != wxSTREAM_EOF && body.GetLastError() != wxSTREAM_NO_ERROR)
    {
        m_lastError = wxPROTO_STREAMING;
        return false;
    }
    return true;
}

bool wxHTTPBuilder::SendRequest(const wxString& target, const wxString& tempPrefix)
{
    wxString tempFile;
    if (m_fileFieldCount >= 1)
    {
        tempFile = wxFileName::CreateTempFileName(tempPrefix);
        if (tempFile.empty())
        {
            m_lastError = wxPROTO_STREAMING;
            return false;
        }
    }
    // Declared before the stream so the file is removed after it is closed
    // (Windows cannot remove a file that is still open).
    TempFileRemover removeTemp(tempFile);
    std::unique_ptr<wxInputStream> multipart;
    wxString formBody;
    if (!tempFile.empty())
    {
        multipart.reset(BuildMultipartBody(tempFile));
        if (!multipart)
        {
            m_lastError = IsStopRequested() ? wxPROTO_ABRT : wxPROTO_STREAMING;
            return false;
        }
    }
    else
    {
        formBody = BuildFormBody();
    }
    const wxString method = (!formBody.empty() || multipart) ? wxS("POST") : wxS("GET");

    m_http_response = 0;

    if (m_auth.m_authType == wxHTTPAuthSettings::AuthBasic && GetHeader(wxS("Authorization")).empty())
        SetHeader(wxS("Authorization"), wxS("Basic ") + BasicCredentials(m_auth.m_user, m_auth.m_password));
    if (m_viaProxy && GetHeader(wxS("Proxy-Authorization")).empty() && m_proxy.m_requiresAuth)
        SetHeader(wxS("Proxy-Authorization"),
                  wxS("Basic ") + BasicCredentials(m_proxy.m_user, m_proxy.m_password));
    if (GetHeader(wxS("Cookie")).empty())
    {
        const wxString cookie = BuildCookieHeader();
        if (!cookie.empty())
            SetHeader(wxS("Cookie"), cookie);
    }
    if (GetHeader(wxS("User-Agent")).empty())
        SetHeader(wxS("User-Agent"), kUserAgent);

    bool headOk = false;
    const std::string head = BuildRequestHead(method, target + BuildQueryString(method == wxS("GET")), &headOk);
    std::string formBytes;
    if (!headOk || !ToNarrow(formBody, formBytes))
    {
        m_lastError = wxPROTO_INVVAL;
        return false;
    }
    if (!WriteAll(head))
    {
        m_lastError = wxPROTO_NETERR;
        return false;
    }
    m_bytesSent = 0;

    if (multipart)
    {
        const bool sent = SendMultipartBody(*multipart);
        multipart.reset();
        if (!sent)
            return false;
    }
    else if (!formBytes.empty())
    {
        if (!WriteAll(formBytes))
        {
            m_lastError = wxPROTO_NETERR;
            return false;
        }
        AddBytesSent(static_cast<wxInt32>(formBytes.size()));
    }

    return ReadResponseHead();
}

bool wxHTTPBuilder::ReadResponseHead()
{
    m_bufferedBody.clear();
    m_bufferedBodyStart = 0;

    HttpResponseHead head(kMaxHeadLineLength, kMaxHeadLines);
    char buffer[4096];
    while (head.GetState() == HttpResponseHead::kNeedMore)
    {
        const long got = ReceiveSome(buffer, sizeof buffer);
        if (got <= 0)
        {
            // Closed, reset or timed out before the head was complete.
            head.Finish();
            break;
        }
        const size_t count = static_cast<size_t>(got);
        const size_t used = head.Feed(buffer, count);
        if (head.GetState() == HttpResponseHead::kComplete)
            m_bufferedBody.assign(buffer + used, count - used);
    }

    switch (head.GetState())
    {
        case HttpResponseHead::kComplete:
            break;
        case HttpResponseHead::kRefused:
            m_http_response = static_cast<int>(head.GetCode());
            m_lastError = wxPROTO_NOFILE;
            return false;
        case HttpResponseHead::kFailed:
        case HttpResponseHead::kNeedMore:
            m_lastError = head.GetFailure() == HttpResponseHead::kTruncated ? wxPROTO_NETERR : wxPROTO_PROTERR;
            return false;
    }

    ClearHeaders();
    ClearCookies();
    m_read = true;
    m_lastError = wxPROTO_NOERR;
    if (!head.HasStatusLine())
    {
        m_headers[wxS("Content-Length")] = wxS("-1");
        m_headers[wxS("Content-Type")] = wxS("none/none");
        return true;
    }

    m_http_response = static_cast<int>(head.GetCode());
    for (const auto& header : head.GetHeaders())
    {
        const wxHeaderIterator it = FindHeader(header.first);
        if (it != m_headers.end())
            it->second = header.second;
        else
            m_headers[header.first] = header.second;
    }
    return true;
}
