// Memory-card mode: which card holds the folder the user chose, and where
// that folder is on the card.
#ifndef PONTIRO_SYNC_CARDROOT_H
#define PONTIRO_SYNC_CARDROOT_H

#include <wx/arrstr.h>
#include <wx/string.h>

struct CardLocation
{
    wxString root;      // the card's root on this computer ("E" on Windows: the drive letter)
    wxString navFolder; // the chosen folder on the card, ending with "/"
};

// On Windows the first character of the folder is the drive letter and the
// rest, from its third character, the folder on the card (E:\Kelvo gives
// drive E and \Kelvo/). Elsewhere the card is the deepest mounted file
// system that holds the folder, as the system's mount table says.
// `folder` already ends with "/". False when no card can be told.
bool LocateCard(const wxString& folder, CardLocation& location);

// The deepest of `mountPoints` that contains `path` (both absolute, without
// symbolic links); "" when none does.
wxString DeepestMountPoint(const wxString& path, const wxArrayString& mountPoints);
// Mount points listed in a mounts table ("/proc/self/mounts" format), with
// its octal escapes undone.
wxArrayString ReadMountPoints(const wxString& mountsFile);

#endif
