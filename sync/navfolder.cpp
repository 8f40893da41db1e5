#include "sync/navfolder.h"

#include <wx/tokenzr.h>

const wxChar* const NAV_FOLDER_DEFAULT = wxT("\\SDMMC Card\\Kelvo\\");
const wxChar* const NAV_FOLDER_TARVIK = wxT("\\SDMMC\\Kelvo\\");

wxString g_navFolder = NAV_FOLDER_DEFAULT;

wxString ToDevicePath(const wxString& path)
{
    wxString result;
    result.reserve(path.length());
    for (wxUniChar c : path)
    {
        if (c == '\\')
            c = '/';
        if (c == '/' && !result.empty() && result.Last() == '/')
            continue;
        result += c;
    }
    return result;
}

int CountPathLevels(const wxString& path)
{
    return static_cast<int>(wxStringTokenize(ToDevicePath(path), wxT("/"), wxTOKEN_STRTOK).GetCount());
}
