// Payload items: files of the product carried inside the setup executable.
#pragma once
#include <cstddef>
#include <string>

namespace tavix {

struct PayloadItem {
    const void* data = nullptr;  // points into the loaded image; never freed
    std::size_t size = 0;
};

// Finds the item of `type` and `name` (ASCII case ignored) in the running
// executable. Throws SetupError "Resource <name> not found" when absent.
PayloadItem FindPayload(const std::string& type, const std::string& name);

// The same lookup in another loaded module (a handle of the platform's), for
// tools that inspect a built setup.
PayloadItem FindPayloadIn(void* module, const std::string& type, const std::string& name);

// Writes the item's bytes whole to the file at `path` (GBK), created or
// replaced, in one write straight from the image. Throws SetupError
// "Cannot create file "<path>". <reason>" when the file cannot be written.
void WritePayload(const PayloadItem& item, const std::string& path);

} // namespace tavix
