// The response body of one request made by wxHTTPBuilder.
#ifndef PONTIRO_HTTP_HTTPBUILDERSTREAM_H
#define PONTIRO_HTTP_HTTPBUILDERSTREAM_H

#include <wx/defs.h>
#include <wx/sckstrm.h>

class wxHTTPBuilder;

// Reads the body from the builder's connection; destroying it closes the
// connection. It must not outlive its builder.
//
// With a Content-Length the stream ends after exactly that many bytes (bytes
// a server sends past it are never delivered). When the connection ends
// earlier (closed, reset, timed out), the body is cut: IsCut() turns true,
// GetBytesDue() keeps what is missing and the read that finds the end
// reports wxSTREAM_READ_ERROR instead of wxSTREAM_EOF. Without a
// Content-Length, or with a Content-Length of 0, the body ends when the
// server closes; a reset or a timeout makes it cut as well. A caller keeps a
// body only when IsComplete().
class wxHTTPBuilderStream : public wxSocketInputStream
{
public:
    static const wxUint32 NoLength = 0xFFFFFFFFu;

    wxHTTPBuilderStream(wxHTTPBuilder& builder, wxUint32 contentLength);
    ~wxHTTPBuilderStream() override;

    // The Content-Length, NoLength when the response had none (0 bounds
    // nothing: such a body is read to the close).
    size_t GetSize() const override;
    wxUint32 GetContentLength() const { return m_contentLength; }
    wxUint32 GetBytesRead() const { return m_bytesRead; }
    // Body bytes announced but not received yet; 0 when no length bounds
    // the body.
    wxUint32 GetBytesDue() const;
    // The connection ended before the body did.
    bool IsCut() const { return m_cut; }
    // The whole body has been read and nothing was cut.
    bool IsComplete() const { return m_ended && !m_cut; }

protected:
    size_t OnSysRead(void* buffer, size_t size) override;

private:
    bool IsBounded() const { return m_contentLength != NoLength && m_contentLength > 0; }

    wxHTTPBuilder* m_builder;
    wxUint32 m_contentLength;
    wxUint32 m_bytesRead;
    bool m_ended;
    bool m_cut;

    wxDECLARE_NO_COPY_CLASS(wxHTTPBuilderStream);
};

#endif
