#include "tests/support/scratchfolder.h"

#include "tests/support/files.h"

#include <wx/filefn.h>
#include <wx/filename.h>

ScratchFolder::ScratchFolder()
{
    m_path = wxFileName::CreateTempFileName(wxS("pontiro"));
    wxRemoveFile(m_path);
    if (!wxFileName::Mkdir(m_path, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL))
        m_path.clear();
}

ScratchFolder::ScratchFolder(const wxString& existing) : m_path(existing), m_owned(false) {}

ScratchFolder::~ScratchFolder()
{
    if (m_owned && !m_path.empty())
        wxFileName::Rmdir(m_path, wxPATH_RMDIR_RECURSIVE);
}

std::string ScratchFolder::Utf8Path() const
{
    return m_path.utf8_string();
}

// Without a folder there is no path below it, rather than one below "/".
wxString ScratchFolder::Full(const std::string& name) const
{
    if (m_path.empty())
        return wxString();
    return m_path + wxS("/") + wxString::FromUTF8(name.c_str());
}

std::string ScratchFolder::operator/(const std::string& name) const
{
    return Full(name).utf8_string();
}

bool ScratchFolder::Write(const std::string& name, const std::string& data) const
{
    return WriteFile(*this / name, data);
}

std::string ScratchFolder::Read(const std::string& name) const
{
    return ReadFile(*this / name);
}

bool ScratchFolder::Exists(const std::string& name) const
{
    return PathExists(*this / name);
}
