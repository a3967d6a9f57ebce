#pragma once
// The rules a stored path must keep: the archiving run refuses to store a file
// whose path would not read back as itself or that the restore would refuse,
// and the restore (engine/EntryExtract.h) refuses entries by the same rules.

#include <string>

namespace kv::format {

// True when the file name can be written into a folder without leaving it: not
// empty, not "." or "..", and holding no '\', '/' or ':'.
bool isSafeFileName(const std::string& fileName);

// True when the folder text holds no ".." component (components are split at
// '\' and '/', so a host separator cannot smuggle one in).
bool hasNoParentStep(const std::string& folder);

// True when the text is a drive path: a letter, ':' and '\', then components
// without "..".
bool isDrivePath(const std::string& folder);

// Why a file at fullPath (a Windows path) cannot be stored so that reading the
// entry back gives the same path, in French ("son nom dépasse 100 octets",
// ...), or "" when it can: its name must fit FileName (100 bytes as stored)
// and its folder Folder (250 bytes), both must read back unchanged, the name
// must be one the restore accepts (isSafeFileName) and the folder a drive path.
std::string storedPathProblem(const std::string& fullPath);

}  // namespace kv::format
