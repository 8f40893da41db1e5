// A folder's whole tree, for tests that want a device left byte for byte as
// it was: every file's bytes and every folder, by relative path.
#ifndef PONTIRO_TESTS_DEVICE_FOLDERTREE_H
#define PONTIRO_TESTS_DEVICE_FOLDERTREE_H

#include <map>
#include <ostream>
#include <set>
#include <string>

struct FolderTree
{
    // Relative path ("a/b", folders ending in "/") to the file's bytes.
    std::map<std::string, std::string> entries;
    bool operator==(const FolderTree& other) const { return entries == other.entries; }
};

// The tree below folder, without the top-level names in skipped (the
// simulated device's profile, say).
FolderTree ReadTree(const std::string& folder, const std::set<std::string>& skipped = {});

// A differing tree is printed as its names and sizes, not its bytes.
void PrintTo(const FolderTree& tree, std::ostream* out);

#endif
