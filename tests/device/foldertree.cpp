#include "foldertree.h"

#include "tests/support/files.h"

#include <wx/filefn.h>

namespace
{
void Walk(const std::string& folder, const std::string& prefix, const std::set<std::string>& skipped,
          FolderTree& tree)
{
    for (const std::string& name : FolderEntries(folder))
    {
        if (prefix.empty() && skipped.count(name))
            continue;
        const std::string path = folder + "/" + name;
        const std::string relative = prefix + name;
        if (wxDirExists(wxString::FromUTF8(path)))
        {
            tree.entries[relative + "/"] = std::string();
            Walk(path, relative + "/", skipped, tree);
        }
        else
        {
            tree.entries[relative] = ReadFile(path);
        }
    }
}
}

FolderTree ReadTree(const std::string& folder, const std::set<std::string>& skipped)
{
    FolderTree tree;
    Walk(folder, std::string(), skipped, tree);
    return tree;
}

void PrintTo(const FolderTree& tree, std::ostream* out)
{
    for (const auto& entry : tree.entries)
        *out << "\n  " << entry.first << " (" << entry.second.size() << " bytes)";
}
