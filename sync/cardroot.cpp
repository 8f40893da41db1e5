#include "sync/cardroot.h"

#include <wx/arrstr.h>
#include <wx/filename.h>
#include <wx/tokenzr.h>

#include <fstream>
#include <string>

#ifndef __WINDOWS__
#include <climits>
#include <cstdlib>
#endif

namespace
{

// Mount tables write blanks, tabs, newlines and backslashes as \ooo.
wxString UnescapeMountField(const wxString& field)
{
    wxString result;
    for (size_t i = 0; i < field.length(); ++i)
    {
        if (field[i] == '\\' && i + 3 < field.length())
        {
            const wxString digits = field.Mid(i + 1, 3);
            unsigned long value = 0;
            if (digits.length() == 3 && digits.ToULong(&value, 8))
            {
                result += wxUniChar(static_cast<unsigned>(value));
                i += 3;
                continue;
            }
        }
        result += field[i];
    }
    return result;
}

bool Contains(const wxString& mountPoint, const wxString& path)
{
    if (mountPoint == wxT("/"))
        return path.StartsWith(wxT("/"));
    return path == mountPoint || path.StartsWith(mountPoint + wxT("/"));
}

} // namespace

wxString DeepestMountPoint(const wxString& path, const wxArrayString& mountPoints)
{
    wxString best;
    for (const wxString& mountPoint : mountPoints)
    {
        if (Contains(mountPoint, path) && mountPoint.length() > best.length())
            best = mountPoint;
    }
    return best;
}

wxArrayString ReadMountPoints(const wxString& mountsFile)
{
    wxArrayString points;
    // The kernel's tables have no size: read line by line to their end.
    std::ifstream file(mountsFile.fn_str()); // wide names on Windows
    std::string raw;
    while (std::getline(file, raw))
    {
        const wxString line = wxString::FromUTF8(raw.c_str());
        const wxArrayString fields = wxStringTokenize(line, wxT(" \t"), wxTOKEN_STRTOK);
        if (fields.size() >= 2)
            points.push_back(UnescapeMountField(fields[1]));
    }
    return points;
}

bool LocateCard(const wxString& folder, CardLocation& location)
{
#ifdef __WINDOWS__
    if (folder.length() < 2)
        return false;
    location.root = folder.Left(1);
    location.navFolder = folder.Mid(2);
    return true;
#else
    // The mount table names real paths: resolve links and "..".
    char resolved[PATH_MAX];
    if (!::realpath(folder.fn_str(), resolved))
        return false;
    const wxString path = wxString(resolved, wxConvFile);
    const wxString root = DeepestMountPoint(path, ReadMountPoints(wxT("/proc/self/mounts")));
    if (root.empty())
        return false;
    location.root = root;
    wxString inside = root == wxT("/") ? path : path.Mid(root.length());
    if (!inside.EndsWith(wxT("/")))
        inside += wxT("/");
    location.navFolder = inside;
    return true;
#endif
}
