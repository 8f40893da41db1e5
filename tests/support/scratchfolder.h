// A fresh folder in the system's temporary folder, removed with its contents
// at the end; POSIX and Windows alike. Needs the toolkit initialised.
#ifndef PONTIRO_TESTS_SUPPORT_SCRATCHFOLDER_H
#define PONTIRO_TESTS_SUPPORT_SCRATCHFOLDER_H

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/string.h>

#include <string>

class ScratchFolder
{
public:
    ScratchFolder()
    {
        m_path = wxFileName::CreateTempFileName(wxS("pontiro"));
        wxRemoveFile(m_path);
        if (!wxFileName::Mkdir(m_path, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL))
            m_path.clear();
    }
    // For a folder that exists already (a drive root, say); not removed.
    explicit ScratchFolder(const wxString& existing) : m_path(existing), m_owned(false) {}
    ~ScratchFolder()
    {
        if (m_owned && !m_path.empty())
            wxFileName::Rmdir(m_path, wxPATH_RMDIR_RECURSIVE);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Empty when the folder could not be made.
    const wxString& Path() const { return m_path; }
    std::string Utf8Path() const { return std::string(m_path.utf8_str().data()); }
    wxString Full(const std::string& name) const { return m_path + wxS("/") + wxString::FromUTF8(name.c_str()); }

    // Writes a file ("/"-separated name below the folder), making its folders.
    bool Write(const std::string& name, const std::string& data) const
    {
        const wxString full = Full(name);
        if (!wxFileName::Mkdir(wxFileName(full).GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL))
            return false;
        wxFile file;
        return file.Create(full, true) && file.Write(data.data(), data.size()) == data.size();
    }
    // The file's bytes; empty when it cannot be read.
    std::string Read(const std::string& name) const
    {
        wxFile file;
        if (!wxFileExists(Full(name)) || !file.Open(Full(name)))
            return std::string();
        std::string data(static_cast<std::size_t>(file.Length()), '\0');
        if (!data.empty() && file.Read(&data[0], data.size()) != static_cast<ssize_t>(data.size()))
            return std::string();
        return data;
    }
    bool Exists(const std::string& name) const
    {
        return wxFileExists(Full(name)) || wxDirExists(Full(name));
    }

private:
    wxString m_path;
    bool m_owned = true;
};

#endif
