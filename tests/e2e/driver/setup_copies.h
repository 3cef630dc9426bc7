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
// table still records the bytes as built; for an item in a compressed block,
// whose bytes cannot be changed alone, the table records other bytes.
void CopySetupWithDamagedItem(const std::wstring& path, const char* type, const char* name);

// How a copy's compressed block is damaged: a byte of its frame changed (in
// the item's share of it), the block cut half-way (resource and header say
// so), or a header that announces another decoded length than the frame's.
enum class BlockDamage { ChangedByte, Cut, WrongLength };

// A copy whose block that holds item (type, name) is damaged; returns the
// block's resource ID.
unsigned CopySetupWithDamagedBlock(const std::wstring& path, const char* type, const char* name, BlockDamage how);

// A copy without its checksum table (the resource carries another number).
void CopySetupWithoutChecksumTable(const std::wstring& path);

}  // namespace e2e
