#include "tests/support/files.h"

#include <wx/dir.h>
#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/log.h>

#include <algorithm>

namespace
{

wxString Native(const std::string& path)
{
    return wxString::FromUTF8(path.c_str());
}

bool Write(const std::string& path, const void* data, std::size_t size)
{
    wxLogNull quiet; // a failure is the caller's to report
    const wxString name = Native(path);
    const wxString parent = wxFileName(name).GetPath();
    if (!parent.empty() && !wxFileName::DirExists(parent) &&
        !wxFileName::Mkdir(parent, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL))
        return false;
    wxFFile file(name, "wb");
    return file.IsOpened() && (size == 0 || file.Write(data, size) == size) && file.Close();
}

} // namespace

std::string ReadFile(const std::string& path)
{
    wxLogNull quiet;
    const wxString name = Native(path);
    std::string bytes;
    wxFFile file;
    if (!wxFileName::FileExists(name) || !file.Open(name, "rb"))
        return bytes;
    char buffer[64 * 1024];
    std::size_t n;
    while ((n = file.Read(buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    return bytes;
}

ByteVector ReadFileBytes(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    return ByteVector(bytes.begin(), bytes.end());
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    return Write(path, bytes.data(), bytes.size());
}

bool WriteFile(const std::string& path, const ByteVector& bytes)
{
    return Write(path, bytes.data(), bytes.size());
}

bool PathExists(const std::string& path)
{
    return wxFileName::Exists(Native(path), wxFILE_EXISTS_ANY);
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    wxLogNull quiet;
    std::vector<std::string> names;
    wxDir dir;
    if (!wxDir::Exists(Native(folder)) || !dir.Open(Native(folder)))
        return names;
    wxString name;
    for (bool more = dir.GetFirst(&name, wxEmptyString, wxDIR_FILES | wxDIR_DIRS | wxDIR_HIDDEN); more;
         more = dir.GetNext(&name))
        names.push_back(name.utf8_string());
    std::sort(names.begin(), names.end());
    return names;
}
