// A fresh folder in the system's temporary folder, removed with its contents
// at the end; POSIX and Windows alike.
#ifndef PONTIRO_TESTS_SUPPORT_SCRATCHFOLDER_H
#define PONTIRO_TESTS_SUPPORT_SCRATCHFOLDER_H

#include <wx/string.h>

#include <string>

class ScratchFolder
{
public:
    ScratchFolder();
    // For a folder that exists already (a drive root, say); not removed.
    explicit ScratchFolder(const wxString& existing);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Empty when the folder could not be made.
    const wxString& Path() const { return m_path; }
    std::string Utf8Path() const;
    // A "/"-separated name below the folder, as a full path (empty without
    // the folder).
    wxString Full(const std::string& name) const;
    std::string operator/(const std::string& name) const;

    // Writes a file below the folder, making its folders.
    bool Write(const std::string& name, const std::string& data) const;
    // The file's bytes; empty when it cannot be read.
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;

private:
    wxString m_path;
    bool m_owned = true;
};

#endif
