// Control-file lookup: any bytes, any names; the value is never longer than
// the limit, holds no line end and is a piece of the document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setupdata/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    // The first line, if short, chooses the section and key to look up.
    std::string section = "Form", key = "Caption";
    std::size_t nl = text.find('\n');
    if (nl != std::string::npos && nl < 40) {
        std::string head = text.substr(0, nl);
        std::size_t bar = head.find('|');
        if (bar != std::string::npos) {
            section = head.substr(0, bar);
            key = head.substr(bar + 1);
        }
    }
    std::string value = tavix::IniLookup(text, section, key);
    if (value.size() > tavix::kIniValueMax) std::abort();
    if (value.find_first_of("\r\n") != std::string::npos) std::abort();
    if (text.find(value) == std::string::npos) std::abort();
    return 0;
}
