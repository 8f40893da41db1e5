#include "sync/navfolder.h"

#include <wx/tokenzr.h>

const wxChar* const kNavFolderDefault = wxT("\\SDMMC Card\\Kelvo\\");
const wxChar* const kNavFolderTarvik = wxT("\\SDMMC\\Kelvo\\");

wxString g_navFolder = kNavFolderDefault;

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
