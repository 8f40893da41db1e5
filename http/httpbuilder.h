// HTTP/1.0 client: one call takes a whole URL, connects directly or through
// a proxy, sends one request and hands back the response body as a stream.
//
// Use: construct, InitMimeTypes(), optionally SetProxy/SetAuth/AddField,
// then OpenUrl() any number of times, reading and destroying each stream
// before the next OpenUrl(). The builder may be created on one thread and
// then used by one other thread alone; only RequestStop() may be called from
// any thread. Sockets must have been initialised on the main thread
// (wxSocketBase::Initialize(), done by the application) before a worker
// thread uses the builder.
//
// The connection is the builder's own descriptor (see HttpConnection), not
// the wxSocketClient's, so that every wait of a request can be cut short.
#ifndef PONTIRO_HTTP_HTTPBUILDER_H
#define PONTIRO_HTTP_HTTPBUILDER_H

#include "http/hostlookup.h"
#include "http/httpbuilderstream.h"
#include "http/httpsettings.h"

#include <wx/arrstr.h>
#include <wx/dynarray.h>
#include <wx/protocol/http.h>

#include <atomic>
#include <memory>
#include <string>

class HttpConnection;
class wxInputStream;

// Where a request field ends up.
enum FieldKind
{
    FieldEither = 0,    // query string for a GET, body for a POST
    FieldQuery = 1,     // always the query string
    FieldBody = 2,      // form body or multipart part; makes the request a POST
    FieldFile = 3,      // multipart part carrying the file whose path is the value
    FieldRawPart = 4,   // multipart part given whole (headers, empty line, content)
    FieldCookie = 5,    // Cookie header, value URL-encoded
    FieldRawCookie = 6  // Cookie header, value unchanged
};

class wxHTTPBuilder : public wxHTTP
{
public:
    // Longest status or header line and most header lines a response may
    // have; a longer head fails the request at "Sending Request".
    static const size_t kMaxHeadLineLength = 8192;
    static const size_t kMaxHeadLines = 100;
    static const long kDefaultTimeout = 600;

    wxHTTPBuilder();
    ~wxHTTPBuilder() override;

    // Switches the proxy on; its credentials and exceptions stay as set.
    void SetProxy(const wxString& host, wxInt32 port);
    void SetAuth(const wxString& user, const wxString& password, wxInt32 type);
    wxProxySettings& GetProxySettings() { return m_proxy; }
    const wxProxySettings& GetProxySettings() const { return m_proxy; }
    const wxHTTPAuthSettings& GetAuthSettings() const { return m_auth; }

    // One whole request. The stream belongs to the caller; null on failure,
    // with GetStatus() naming the failing step and GetError() the reason
    // (wxPROTO_ABRT after a stop). The socket timeout (SetTimeout, seconds)
    // bounds every wait.
    wxHTTPBuilderStream* OpenUrl(const wxString& url, const wxString& tempPrefix = wxString());
    // Writes the request and reads the response head; called by OpenUrl.
    bool SendRequest(const wxString& target, const wxString& tempPrefix);

    // Seconds any single wait of a request may take, resolving and
    // connecting included (the system may give up sooner); a lookup,
    // connect, read or write that waits longer fails. 0 means no limit.
    // (The base keeps it; the connection reads it at each wait.)
    using wxHTTP::SetTimeout;

    // End the current connection (the wxSocketClient's own is never used).
    bool Close() override;
    bool Abort() override;

    // "" after a success, else the step of the last OpenUrl that failed:
    // "Parsing URL", "Resolving proxy host name", "Resolving host name",
    // "Connecting to server" or "Sending Request".
    const wxString& GetStatus() const { return m_status; }
    bool IsViaProxy() const { return m_viaProxy; }

    // Ends the request in progress as a failure, at whatever stage it is
    // (resolving the host name, connecting, sending, waiting for the answer,
    // reading the body), at once; a body upload stops after its current
    // chunk. Every later request fails too. Safe from any thread; never
    // cleared by the builder.
    void RequestStop();

    // Request fields (encodings in httpbuilderfields.cpp).
    void AddField(const wxString& name, const wxString& value, FieldKind kind);
    void ClearFields();
    size_t GetFieldCount() const { return m_fieldNames.GetCount(); }
    wxString BuildQueryString(bool isGet) const;
    // Both set Content-Length and Content-Type when they produce a body.
    wxString BuildFormBody();
    // Writes the multipart body into fileName; the stream over it belongs to
    // the caller. Null when the file cannot be written, a file field cannot
    // be read or a stop was requested while building.
    wxInputStream* BuildMultipartBody(const wxString& fileName);
    wxString BuildCookieHeader() const;

    // MIME table for uploaded files.
    void InitMimeTypes();
    void AddMimeType(const wxString& extension, const wxString& type);
    bool RemoveMimeType(const wxString& extension);
    wxString GetMimeType(const wxString& fileName) const;
    size_t GetMimeTypeCount() const { return m_mimeTypes.GetCount(); }

    // Replaces the host-name resolver (the system's by default; an empty
    // function restores it). Set before a request, on the request's thread.
    void SetHostLookup(HostLookup lookup);

    // Progress and stop hooks.
    virtual bool UseProxyFor(const wxString& host);
    virtual wxInt32 AddBytesTotal(wxInt32 n);
    virtual wxInt32 AddBytesSent(wxInt32 n);
    virtual bool IsStopRequested();
    wxInt32 GetBytesTotal() const { return m_bytesTotal; }
    wxInt32 GetBytesSent() const { return m_bytesSent; }

private:
    friend class wxHTTPBuilderStream;

    // Body bytes that arrived with the response head; the stream takes
    // them before reading the socket.
    size_t TakeBufferedBody(void* buffer, size_t size);
    // One receive on the connection: the count (above 0), 0 when the peer
    // closed it, -1 on a reset, a timeout, a stop or any other error. With
    // waitAll it gathers the whole size unless the connection ends first.
    long ReceiveSome(void* buffer, size_t size, bool waitAll = false);
    bool SendAll(const char* bytes, size_t size);

    // Resolves host into m_addr with the port; false (wxPROTO_NETERR) when
    // it has no address, the lookup outlasted the timeout or a stop came.
    bool Resolve(const wxString& host, unsigned short port);
    bool ConnectSocket();
    bool WriteAll(const std::string& bytes);
    bool ReadResponseHead();
    std::string BuildRequestHead(const wxString& method, const wxString& target, bool* ok) const;
    bool SendMultipartBody(wxInputStream& body);
    void Fail(const wxString& step, wxProtocolError error);

    wxInt32 m_bytesTotal;
    wxInt32 m_bytesSent;
    std::atomic<bool> m_stop;
    const std::unique_ptr<HttpConnection> m_connection;
    HostLookup m_hostLookup;
    wxArrayString m_fieldNames;
    wxArrayString m_fieldValues;
    wxArrayInt m_fieldKinds;
    wxInt32 m_fileFieldCount;
    wxHTTPAuthSettings m_auth;
    wxProxySettings m_proxy;
    bool m_viaProxy;
    wxArrayString m_mimeTypes;
    wxArrayString m_mimeExtensions;
    wxString m_status;
    std::string m_bufferedBody;
    size_t m_bufferedBodyStart;

    wxDECLARE_NO_COPY_CLASS(wxHTTPBuilder);
};

#endif
