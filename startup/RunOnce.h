// The named 4-byte shared block that marks a running setup for other programs.
#pragma once

namespace runonce {

// Opens the block if it exists (its value stays untouched), else creates it
// on the paging file and sets it to 0. Failures are silent.
void Startup();
// Unmaps the view and closes the mapping, each only if it is held.
void Shutdown();

} // namespace runonce
