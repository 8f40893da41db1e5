// The request fields and their encodings, and the MIME table for uploads.
#include "http/httpbuilder.h"

#include "http/httpencoding.h"

#include <wx/ffile.h>
#include <wx/log.h>
#include <wx/filename.h>
#include <wx/wfstream.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

bool WriteText(wxFFile& file, const wxString& text)
{
    std::string bytes;
    return ToNarrow(text, bytes) && file.Write(bytes.data(), bytes.size()) == bytes.size();
}

} // namespace

void wxHTTPBuilder::AddField(const wxString& name, const wxString& value, FieldKind kind)
{
    m_fieldNames.Add(name);
    m_fieldValues.Add(value);
    m_fieldKinds.Add(kind);
    if (kind == FieldFile)
        ++m_fileFieldCount;
}

void wxHTTPBuilder::ClearFields()
{
    m_fieldNames.Clear();
    m_fieldValues.Clear();
    m_fieldKinds.Clear();
    m_fileFieldCount = 0;
}

wxString wxHTTPBuilder::BuildQueryString(bool isGet) const
{
    wxString query;
    for (size_t i = 0; i < m_fieldNames.GetCount(); ++i)
    {
        const int kind = m_fieldKinds[i];
        if (kind != FieldQuery && !(kind == FieldEither && isGet))
            continue;
        query += query.empty() ? wxS("?") : wxS("&");
        query += UrlEncode(m_fieldNames[i]) + wxS("=") + UrlEncode(m_fieldValues[i]);
    }
    return query;
}

wxString wxHTTPBuilder::BuildFormBody()
{
    bool hasBodyField = false;
    for (size_t i = 0; i < m_fieldKinds.GetCount(); ++i)
        hasBodyField = hasBodyField || m_fieldKinds[i] == FieldBody;
    if (!hasBodyField)
        return wxString();

    wxString body;
    for (size_t i = 0; i < m_fieldNames.GetCount(); ++i)
    {
        const int kind = m_fieldKinds[i];
        if (kind != FieldBody && kind != FieldEither)
            continue;
        if (!body.empty())
            body += wxS("&");
        body += UrlEncode(m_fieldNames[i]) + wxS("=") + UrlEncode(m_fieldValues[i]);
    }

    if (GetHeader(wxS("Content-Length")).empty())
    {
        // Letters the locale keeps unencoded may take more than one byte.
        std::string bytes;
        const size_t length = ToNarrow(body, bytes) ? bytes.size() : body.length();
        SetHeader(wxS("Content-Length"), wxString::Format(wxS("%lu"), static_cast<unsigned long>(length)));
    }
    if (GetHeader(wxS("Content-Type")).empty())
        SetHeader(wxS("Content-Type"), wxS("application/x-www-form-urlencoded"));
    return body;
}

wxInputStream* wxHTTPBuilder::BuildMultipartBody(const wxString& fileName)
{
    const wxString boundary = MakeBoundary(40);
    {
        wxFFile out(fileName, wxS("wb"));
        if (!out.IsOpened())
            return nullptr;

        std::vector<char> chunk(8192);
        for (size_t i = 0; i < m_fieldNames.GetCount(); ++i)
        {
            const wxString& name = m_fieldNames[i];
            const wxString& value = m_fieldValues[i];
            bool ok = true;
            switch (m_fieldKinds[i])
            {
                case FieldBody:
                case FieldEither:
                    ok = WriteText(out, wxString::Format(wxS("--%s\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n"),
                                                         boundary, name, value));
                    break;
                case FieldFile:
                {
                    ok = WriteText(out, wxString::Format(wxS("--%s\r\nContent-Disposition: form-data; name=\"%s\"; filename=\"%s\"\r\nContent-Type: %s\r\n\r\n"),
                                                         boundary, name, value, GetMimeType(value)));
                    // A file that cannot be read must not go out as an empty one.
                    wxLogNull quiet;
                    wxFFile in(value, wxS("rb"));
                    ok = ok && in.IsOpened();
                    while (ok && !in.Eof())
                    {
                        const size_t count = in.Read(chunk.data(), chunk.size());
                        if (in.Error())
                            ok = false;
                        else if (count > 0)
                            ok = out.Write(chunk.data(), count) == count;
                        else
                            break;
                        if (IsStopRequested())
                            ok = false;
                    }
                    ok = ok && WriteText(out, wxS("\r\n"));
                    break;
                }
                case FieldRawPart:
                    ok = WriteText(out, wxString::Format(wxS("--%s\r\n%s\r\n"), boundary, value));
                    break;
                default:
                    break;
            }
            if (!ok)
            {
                out.Close();
                wxRemoveFile(fileName);
                return nullptr;
            }
        }
        if (!WriteText(out, wxString::Format(wxS("--%s--\r\n"), boundary)) || !out.Close())
        {
            wxRemoveFile(fileName);
            return nullptr;
        }
    }

    if (GetHeader(wxS("Content-Length")).empty())
    {
        const wxULongLong size = wxFileName::GetSize(fileName);
        SetHeader(wxS("Content-Length"), size.ToString());
    }
    if (GetHeader(wxS("Content-Type")).empty())
        SetHeader(wxS("Content-Type"), wxS("multipart/form-data; boundary=") + boundary);

    std::unique_ptr<wxFileInputStream> stream(new wxFileInputStream(fileName));
    if (!stream->IsOk())
        return nullptr;
    return stream.release();
}

wxString wxHTTPBuilder::BuildCookieHeader() const
{
    wxString cookie;
    for (size_t i = 0; i < m_fieldNames.GetCount(); ++i)
    {
        const int kind = m_fieldKinds[i];
        if (kind != FieldCookie && kind != FieldRawCookie)
            continue;
        if (!cookie.empty())
            cookie += wxS("; ");
        cookie += m_fieldNames[i] + wxS("=") +
                  (kind == FieldCookie ? UrlEncode(m_fieldValues[i]) : m_fieldValues[i]);
    }
    return cookie;
}

void wxHTTPBuilder::InitMimeTypes()
{
    static const char* const kMimeTable[][2] = {
        {"txt", "text/plain"},       {"html", "text/html"},       {"htm", "text/html"},
        {"gif", "image/gif"},        {"jpg", "image/jpeg"},       {"jpeg", "image/jpeg"},
        {"bmp", "image/bmp"},        {"avi", "video/avi"},        {"mpeg", "video/mpeg"},
        {"mpg", "video/mpeg"},       {"pdf", "application/pdf"},  {"zip", "application/zip"},
    };
    for (const auto& row : kMimeTable)
        AddMimeType(row[0], row[1]);
}

void wxHTTPBuilder::AddMimeType(const wxString& extension, const wxString& type)
{
    RemoveMimeType(extension);
    m_mimeExtensions.Add(extension);
    m_mimeTypes.Add(type);
}

bool wxHTTPBuilder::RemoveMimeType(const wxString& extension)
{
    for (size_t i = 0; i < m_mimeExtensions.GetCount(); ++i)
    {
        if (m_mimeExtensions[i].CmpNoCase(extension) == 0)
        {
            m_mimeExtensions.RemoveAt(i);
            m_mimeTypes.RemoveAt(i);
            return true;
        }
    }
    return false;
}

wxString wxHTTPBuilder::GetMimeType(const wxString& fileName) const
{
    // Extension of the name part only; a leading dot does not start one.
    const size_t separator = fileName.find_last_of(wxFileName::GetPathSeparators());
    const wxString name = separator == wxString::npos ? fileName : fileName.substr(separator + 1);
    const size_t dot = name.rfind(wxS('.'));
    const wxString extension = (dot == wxString::npos || dot == 0) ? wxString() : name.substr(dot + 1);

    for (size_t i = 0; i < m_mimeExtensions.GetCount(); ++i)
    {
        if (m_mimeExtensions[i].CmpNoCase(extension) == 0)
            return m_mimeTypes[i];
    }
    return wxS("application/octet-stream");
}
