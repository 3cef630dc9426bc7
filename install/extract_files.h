// The file work of the installation's manifest walk: folders below the
// installation folder and the payload items written into them. The
// installation window runs these between its status texts and pauses; the
// extraction benchmark runs the same functions back to back.
#pragma once
#include <string>

#include "setupdata/manifest.h"

namespace tavix {

// True when `path` (GBK) names an existing folder.
bool FolderExists(const std::string& path);

// Creates the folder `path` (GBK) with every missing parent; true when it
// exists afterwards.
bool MakeFolders(const std::string& path);

// The manifest entry of `line` (0-based `index`). Throws "Cannot create file"
// for a target that would lie outside the installation folder `installDir`,
// before any folder or file of it is made.
ManifestEntry EntryInsideFolder(const std::string& line, int index, const std::string& installDir);

// Writes the entry's payload item to its target below `installDir` (which
// ends in a backslash). Throws as FindPayload and WritePayload do.
void ExtractPayloadEntry(const ManifestEntry& entry, const std::string& installDir);

} // namespace tavix
