// Copies of the setup that differ from it in one item, as a damaged download
// or a release with other content would: the scenarios that need a manifest
// or control file the release check would refuse make them this way, since
// the setup holds its temporary copies against change.
#pragma once
#include <string>

namespace e2e {

// A copy of the setup at `path` whose item (type, name) holds `content`,
// filled up with NULs to the item's size (the content may not be longer), and
// whose checksum table records the new bytes, as a release built with them
// would. A NUL ends a manifest or control file's text.
void CopySetupWithItem(const std::wstring& path, const char* type, const char* name, const std::string& content);

// A copy whose item has one byte changed in its middle while the checksum
// table still records the bytes as built.
void CopySetupWithDamagedItem(const std::wstring& path, const char* type, const char* name);

}  // namespace e2e
