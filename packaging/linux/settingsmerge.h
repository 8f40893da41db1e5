// Brings the installation's settings into a user's copy of Pontiro.ini, so
// that an upgrade reaches the user without touching what the user chose.
#ifndef PONTIRO_PACKAGING_SETTINGSMERGE_H
#define PONTIRO_PACKAGING_SETTINGSMERGE_H

class wxFileConfig;
class wxString;

// Whether a key ("section/entry") is one of the installation's settings:
// servers, request paths, folders and file names on the device. The
// program only reads these (app/frame_config.cpp); everything it writes
// back belongs to the user.
bool IsInstallationSetting(const wxString& key);

// In `user`: every installation setting takes the installation's value (and
// goes when the installation has none); any other key of the installation
// that the user lacks is added; all else stays as it is. Values are taken
// as written, environment variables unexpanded. Returns whether `user`
// changed.
bool MergeInstallationSettings(wxFileConfig& installation, wxFileConfig& user);

#endif
