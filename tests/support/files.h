// Files of the host for the tests: their bytes, whether they are there, a
// folder's entries. Paths are UTF-8, "/"-separated (Windows takes both).
#ifndef PONTIRO_TESTS_SUPPORT_FILES_H
#define PONTIRO_TESTS_SUPPORT_FILES_H

#include "device/bytevector.h"

#include <string>

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// The same bytes in the device layer's byte type.
ByteVector ReadFileBytes(const std::string& path);

// Writes the file whole, making the folders on the way; false on failure.
bool WriteFile(const std::string& path, const std::string& bytes);
bool WriteFile(const std::string& path, const ByteVector& bytes);

// A file, folder or anything else under that name.
bool PathExists(const std::string& path);

// The names in a folder, hidden ones included, sorted; empty when the folder
// cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

#endif
