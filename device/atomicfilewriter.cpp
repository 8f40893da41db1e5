#include "device/atomicfilewriter.h"

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/time.h>
#include <wx/utils.h>

#ifdef __WINDOWS__
#include <wx/msw/wrapwin.h>
#endif

#include <atomic>
#include <cstdint>

namespace
{
// Collisions with a leftover or a concurrent temporary are retried under a
// new name; anything else is a real failure.
const int kTempNameTries = 16;

wxString TempName()
{
    static std::atomic<std::uint32_t> s_counter{0};
    std::uint64_t seed = static_cast<std::uint64_t>(wxGetUTCTimeMillis().GetValue());
    seed ^= static_cast<std::uint64_t>(wxGetProcessId()) << 32;
    seed += 0x9E3779B97F4A7C15ull * (s_counter.fetch_add(1) + 1);
    seed ^= seed >> 31;
    seed *= 0xBF58476D1CE4E5B9ull;
    seed ^= seed >> 29;
    // A leading dot keeps it out of file listings on the card.
    return wxString::Format(wxS(".~%08x.tmp"), static_cast<unsigned>(seed));
}

bool ReplaceFile(const wxString& from, const wxString& to)
{
#ifdef __WINDOWS__
    return ::MoveFileExW(from.wc_str(), to.wc_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return wxRename(from, to) == 0;
#endif
}
}

AtomicFileWriter::AtomicFileWriter() = default;

AtomicFileWriter::~AtomicFileWriter()
{
    Abandon();
}

bool AtomicFileWriter::Open(const wxString& target)
{
    wxLogNull noLog;
    Abandon();
    if (target.empty() || wxDirExists(target))
        return false;
    // Writing over a file that refuses it must fail as writing in place would.
    if (wxFileExists(target) && !wxFile::Access(target, wxFile::write))
        return false;

    // A new file is first created empty under its own name, so a name the
    // file system refuses fails here, as an open, and not at the rename.
    bool created = false;
    if (!wxFileExists(target))
    {
        wxFile placeholder;
        created = placeholder.Create(target, false, wxS_DEFAULT);
        if (!created && !wxFileExists(target))
            return false;
    }

    const wxString folder = wxFileName(target).GetPath(wxPATH_GET_VOLUME | wxPATH_GET_SEPARATOR);
    for (int attempt = 0; attempt < kTempNameTries; ++attempt)
    {
        const wxString temp = folder + TempName();
        auto file = std::make_unique<wxFile>();
        if (file->Create(temp, false, wxS_DEFAULT))
        {
            m_file = std::move(file);
            m_target = target;
            m_tempPath = temp;
            m_createdTarget = created;
            return true;
        }
        if (!wxFileExists(temp))
            break;
    }
    if (created)
        wxRemoveFile(target);
    return false;
}

std::size_t AtomicFileWriter::Write(const void* data, std::size_t size)
{
    if (!m_file || size == 0)
        return 0;
    wxLogNull noLog;
    return m_file->Write(data, size);
}

bool AtomicFileWriter::Commit()
{
    if (!m_file)
        return false;
    wxLogNull noLog;
    // The bytes must be on the card before the new name points at them.
    const bool flushed = m_file->Flush();
    const bool closed = m_file->Close();
    m_file.reset();
    const bool replaced = flushed && closed && ReplaceFile(m_tempPath, m_target);
    if (!replaced)
    {
        wxRemoveFile(m_tempPath);
        if (m_createdTarget)
            wxRemoveFile(m_target);
    }
    m_tempPath.clear();
    m_createdTarget = false;
    return replaced;
}

void AtomicFileWriter::Abandon()
{
    if (!m_file)
        return;
    wxLogNull noLog;
    m_file->Close();
    m_file.reset();
    wxRemoveFile(m_tempPath);
    if (m_createdTarget)
        wxRemoveFile(m_target);
    m_tempPath.clear();
    m_createdTarget = false;
}
