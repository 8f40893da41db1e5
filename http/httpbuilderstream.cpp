#include "http/httpbuilderstream.h"

#include "http/httpbuilder.h"

#include <algorithm>

wxHTTPBuilderStream::wxHTTPBuilderStream(wxHTTPBuilder& builder, wxUint32 contentLength)
    : wxSocketInputStream(builder),
      m_builder(&builder),
      m_contentLength(contentLength),
      m_bytesRead(0),
      m_ended(false),
      m_cut(false)
{
}

wxHTTPBuilderStream::~wxHTTPBuilderStream()
{
    m_builder->Abort();
}

size_t wxHTTPBuilderStream::GetSize() const
{
    return m_contentLength;
}

wxUint32 wxHTTPBuilderStream::GetBytesDue() const
{
    if (!IsBounded())
        return 0;
    return m_contentLength - m_bytesRead;
}

size_t wxHTTPBuilderStream::OnSysRead(void* buffer, size_t size)
{
    if (m_ended)
    {
        m_lasterror = m_cut ? wxSTREAM_READ_ERROR : wxSTREAM_EOF;
        return 0;
    }

    // Never read past the announced length: what follows is not this body.
    size_t wanted = std::min<size_t>(size, 0x7FFFFFFF);
    if (IsBounded())
        wanted = std::min<size_t>(wanted, m_contentLength - m_bytesRead);

    // Like a waiting read: the whole count unless the connection ends first.
    size_t count = m_builder->TakeBufferedBody(buffer, wanted);
    while (count < wanted)
    {
        const long got = m_builder->ReceiveSome(static_cast<char*>(buffer) + count, wanted - count, true);
        if (got <= 0)
        {
            // Only a clean close ends a body without length; with a length
            // any early end cuts it.
            m_ended = true;
            m_cut = got < 0 || IsBounded();
            break;
        }
        count += static_cast<size_t>(got);
    }
    m_bytesRead += static_cast<wxUint32>(count);
    if (IsBounded() && m_bytesRead == m_contentLength)
        m_ended = true;

    if (count == 0)
        m_lasterror = m_cut ? wxSTREAM_READ_ERROR : wxSTREAM_EOF;
    return count;
}
