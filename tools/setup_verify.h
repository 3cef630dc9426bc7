// release_writer --verify: reads a written setup back, decodes every item
// and compares it with the setup's checksum table and, given a release
// folder, with the release's files.
#pragma once
#include <string>

namespace tavix {

// Prints one line per item that differs, naming it and how, then a summary.
// Returns 0 when every item is as recorded (and as in the release when
// `releaseDir` is not empty), 1 when any differs or the setup has no
// checksum table, 3 when the setup cannot be read as a program.
int VerifySetup(const std::string& setupPath, const std::string& releaseDir);

} // namespace tavix
