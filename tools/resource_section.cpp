#include "resource_section.h"

#include <algorithm>
#include <map>
#include <numeric>

#include "host_text.h"
#include "le_bytes.h"

namespace tavix {
namespace {

constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint32_t kNamed = 0x80000000u;
constexpr std::size_t kDirectoryHeader = 16, kDirectoryEntry = 8, kDataEntry = 16;

std::size_t Align(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }

// A directory table with `named` + `numbered` entries; the entries follow.
void PutDirectoryHeader(std::string& out, std::size_t named, std::size_t numbered) {
    Put32(out, 0);  // characteristics
    Put32(out, 0);  // time stamp: none, the same bytes every time
    Put16(out, 0);  // version
    Put16(out, 0);
    Put16(out, static_cast<unsigned>(named));
    Put16(out, static_cast<unsigned>(numbered));
}

} // namespace

std::string ResId::Text() const { return IsName() ? Utf16ToUtf8(name) : "#" + std::to_string(number); }

bool operator==(const ResId& a, const ResId& b) { return a.name == b.name && (a.IsName() || a.number == b.number); }

bool operator<(const ResId& a, const ResId& b) {
    if (a.IsName() != b.IsName()) return a.IsName();
    if (a.IsName()) return a.name < b.name;
    return a.number < b.number;
}

std::string LayOutResources(const std::vector<ResourceEntry>& entries, std::uint32_t rva, ResourceLayout& out) {
    // The entries in the loader's order: type, name, language.
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    auto key = [&](std::size_t i) { return std::tie(entries[i].type, entries[i].name, entries[i].language); };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    for (std::size_t k = 1; k < order.size(); ++k) {
        const ResourceEntry& e = entries[order[k]];
        if (key(order[k - 1]) == key(order[k]))
            return "two resources of type " + e.type.Text() + ", name " + e.name.Text() + " and language " +
                   std::to_string(e.language);
    }

    // Runs of one type, and within them runs of one name.
    struct Run {
        std::size_t first, count;
    };
    std::vector<Run> types, names;
    std::vector<std::size_t> namesOfType;  // index of each type's first name run
    for (std::size_t k = 0; k < order.size(); ++k) {
        const ResourceEntry& e = entries[order[k]];
        if (k == 0 || !(entries[order[k - 1]].type == e.type)) {
            types.push_back({k, 0});
            namesOfType.push_back(names.size());
        }
        if (k == 0 || !(entries[order[k - 1]].type == e.type) || !(entries[order[k - 1]].name == e.name)) {
            names.push_back({k, 0});
            ++types.back().count;
        }
        ++names.back().count;
    }

    // Offsets: the root, a table per type, a table per name, the data
    // entries, the strings, then the data.
    std::size_t at = kDirectoryHeader + kDirectoryEntry * types.size();
    std::vector<std::size_t> typeTable(types.size()), nameTable(names.size());
    for (std::size_t t = 0; t < types.size(); ++t) {
        typeTable[t] = at;
        at += kDirectoryHeader + kDirectoryEntry * types[t].count;
    }
    for (std::size_t n = 0; n < names.size(); ++n) {
        nameTable[n] = at;
        at += kDirectoryHeader + kDirectoryEntry * names[n].count;
    }
    const std::size_t dataEntries = at;
    at += kDataEntry * order.size();
    std::map<std::u16string, std::size_t> strings;
    for (std::size_t k = 0; k < order.size(); ++k) {
        for (const ResId* id : {&entries[order[k]].type, &entries[order[k]].name}) {
            if (id->IsName() && strings.emplace(id->name, at).second) at += 2 + 2 * id->name.size();
        }
    }
    std::uint64_t end = Align(at, 8);
    out.dataOffsets.assign(entries.size(), 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        end = Align(static_cast<std::size_t>(end), 8);
        out.dataOffsets[i] = static_cast<std::uint32_t>(end);
        end += entries[i].size;
        if (end + rva > 0xFFFFFFFFull) return "the resources come to more than 4 GB";
    }
    const std::size_t directoryEnd = Align(at, 8);
    out.size = static_cast<std::uint32_t>(end);

    auto idField = [&](const ResId& id) {
        return id.IsName() ? kNamed | static_cast<std::uint32_t>(strings.at(id.name)) : id.number;
    };
    auto countNamed = [&](std::size_t first, std::size_t count, auto idOf) {
        std::size_t named = 0;
        for (std::size_t i = first; i < first + count; ++i) named += idOf(i).IsName();
        return named;
    };

    std::string& d = out.directory;
    d.clear();
    d.reserve(directoryEnd);
    auto typeOf = [&](std::size_t t) -> const ResId& { return entries[order[types[t].first]].type; };
    const std::size_t namedTypes = countNamed(0, types.size(), typeOf);
    PutDirectoryHeader(d, namedTypes, types.size() - namedTypes);
    for (std::size_t t = 0; t < types.size(); ++t) {
        Put32(d, idField(typeOf(t)));
        Put32(d, kSubdirectory | static_cast<std::uint32_t>(typeTable[t]));
    }
    for (std::size_t t = 0; t < types.size(); ++t) {
        const std::size_t firstName = namesOfType[t];
        auto nameOf = [&](std::size_t n) -> const ResId& { return entries[order[names[n].first]].name; };
        const std::size_t named = countNamed(firstName, types[t].count, nameOf);
        PutDirectoryHeader(d, named, types[t].count - named);
        for (std::size_t n = firstName; n < firstName + types[t].count; ++n) {
            Put32(d, idField(nameOf(n)));
            Put32(d, kSubdirectory | static_cast<std::uint32_t>(nameTable[n]));
        }
    }
    for (std::size_t n = 0; n < names.size(); ++n) {
        PutDirectoryHeader(d, 0, names[n].count);
        for (std::size_t k = names[n].first; k < names[n].first + names[n].count; ++k) {
            Put32(d, entries[order[k]].language);
            Put32(d, static_cast<std::uint32_t>(dataEntries + kDataEntry * k));
        }
    }
    for (std::size_t k = 0; k < order.size(); ++k) {
        const ResourceEntry& e = entries[order[k]];
        Put32(d, rva + out.dataOffsets[order[k]]);
        Put32(d, e.size);
        Put32(d, e.codePage);
        Put32(d, 0);
    }
    std::vector<std::pair<std::size_t, const std::u16string*>> byOffset;
    for (const auto& [text, offset] : strings) byOffset.emplace_back(offset, &text);
    std::sort(byOffset.begin(), byOffset.end());
    for (const auto& [offset, text] : byOffset) {
        Put16(d, static_cast<unsigned>(text->size()));
        for (char16_t c : *text) Put16(d, c);
    }
    d.resize(directoryEnd, '\0');
    return std::string();
}

} // namespace tavix
