#include "packaging/linux/settingsmerge.h"

#include <wx/fileconf.h>

#include <functional>
#include <vector>

namespace
{
// The installation settings the program reads (app/frame_config.cpp).
const char* const kInstallationSettings[] = {
    "addressbook/hostname", "speedcam/hostname",  "20minutes/hostname",
    "addressbook/dir",      "speedcam/dir",       "20minutes/dir",
    "addressbook/filename", "speedcam/filename",  "speedcam/filenamev2",
    "speedcam/filenamestatic", "20minutes/filename",
    "addressbook/url",      "speedcam/url",       "20minutes/url",
};

// Calls `visit` with the full path of every entry below `group`.
void ForEachEntry(wxFileConfig& config, const wxString& group,
                  const std::function<void(const wxString&)>& visit)
{
    config.SetPath(group);
    std::vector<wxString> entries;
    std::vector<wxString> groups;
    wxString name;
    long cookie = 0;
    for (bool more = config.GetFirstEntry(name, cookie); more;
         more = config.GetNextEntry(name, cookie))
        entries.push_back(name);
    for (bool more = config.GetFirstGroup(name, cookie); more;
         more = config.GetNextGroup(name, cookie))
        groups.push_back(name);
    const wxString prefix = group == "/" ? wxString("/") : group + "/";
    config.SetPath("/");
    for (const wxString& entry : entries)
        visit(prefix + entry);
    for (const wxString& sub : groups)
        ForEachEntry(config, prefix + sub, visit);
    config.SetPath("/");
}
}

bool IsInstallationSetting(const wxString& key)
{
    wxString bare = key;
    bare.StartsWith("/", &bare);
    // The toolkit's ini names do not depend on case (wxCONFIG_CASE_SENSITIVE).
    for (const char* setting : kInstallationSettings)
        if (bare.IsSameAs(setting, false))
            return true;
    return false;
}

bool MergeInstallationSettings(wxFileConfig& installation, wxFileConfig& user)
{
    installation.SetExpandEnvVars(false);
    user.SetExpandEnvVars(false);
    installation.SetPath("/");
    user.SetPath("/");
    bool changed = false;

    for (const char* setting : kInstallationSettings)
    {
        const wxString key = wxString("/") + setting;
        wxString wanted, mine;
        const bool installed = installation.Read(key, &wanted);
        const bool present = user.Read(key, &mine);
        if (installed && (!present || mine != wanted))
        {
            user.Write(key, wanted);
            changed = true;
        }
        else if (!installed && present)
        {
            user.DeleteEntry(key, false);
            changed = true;
        }
    }

    ForEachEntry(installation, "/", [&](const wxString& key) {
        if (IsInstallationSetting(key) || user.HasEntry(key))
            return;
        wxString value;
        installation.Read(key, &value);
        user.Write(key, value);
        changed = true;
    });
    user.SetPath("/");
    return changed;
}
