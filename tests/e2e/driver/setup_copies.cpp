#include "setup_copies.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "e2e.h"
#include "setupdata/checksums.h"
#include "setupdata/crc32.h"
#include "setupdata/payload_blocks.h"

namespace e2e {
namespace {

// The bytes of a PE file (PE32 or PE32+) and where its resources lie in them.
class PeFile {
public:
    explicit PeFile(const std::wstring& path) {
        Check(ReadFileBytes(path, bytes_), "cannot read %s", ToUtf8(path).c_str());
        const std::string name = ToUtf8(path);
        const DWORD nt = At<IMAGE_DOS_HEADER>(0)->e_lfanew;
        Check(At<IMAGE_NT_HEADERS32>(nt)->Signature == IMAGE_NT_SIGNATURE, "%s is no PE file", name.c_str());
        // The headers of both formats agree up to the optional header, whose
        // first field tells which it is.
        const IMAGE_FILE_HEADER& file = At<IMAGE_NT_HEADERS32>(nt)->FileHeader;
        const DWORD optional = nt + offsetof(IMAGE_NT_HEADERS32, OptionalHeader);
        sections_ = At<IMAGE_SECTION_HEADER>(optional + file.SizeOfOptionalHeader);
        sectionCount_ = file.NumberOfSections;
        const IMAGE_DATA_DIRECTORY* res = nullptr;
        switch (*At<WORD>(optional)) {
        case IMAGE_NT_OPTIONAL_HDR32_MAGIC:
            res = Directory(*At<IMAGE_OPTIONAL_HEADER32>(optional), IMAGE_DIRECTORY_ENTRY_RESOURCE);
            break;
        case IMAGE_NT_OPTIONAL_HDR64_MAGIC:
            res = Directory(*At<IMAGE_OPTIONAL_HEADER64>(optional), IMAGE_DIRECTORY_ENTRY_RESOURCE);
            break;
        default:
            Fail("%s has an optional header of neither PE32 nor PE32+", name.c_str());
        }
        Check(res && res->VirtualAddress != 0, "%s has no resources", name.c_str());
        resources_ = Offset(res->VirtualAddress);
    }

    // The file offset and size of the data of resource (type, name), the
    // first language; names compare without regard to ASCII case.
    void Find(const wchar_t* type, const wchar_t* name, DWORD& offset, DWORD& size) {
        IMAGE_RESOURCE_DATA_ENTRY* data = DataEntry(type, name);
        offset = Offset(data->OffsetToData);
        size = data->Size;
    }

    IMAGE_RESOURCE_DATA_ENTRY* DataEntry(const wchar_t* type, const wchar_t* name) {
        DWORD names = Entry(resources_, type), languages = Entry(resources_ + names, name);
        auto* dir = At<IMAGE_RESOURCE_DIRECTORY>(resources_ + languages);
        Check(dir->NumberOfNamedEntries + dir->NumberOfIdEntries > 0, "a resource without languages");
        auto* entry = At<IMAGE_RESOURCE_DIRECTORY_ENTRY>(resources_ + languages + sizeof(IMAGE_RESOURCE_DIRECTORY));
        return At<IMAGE_RESOURCE_DATA_ENTRY>(resources_ + entry->OffsetToData);
    }

    // Gives the numbered resource `from` of `type` the number `to`.
    void Renumber(const wchar_t* type, WORD from, WORD to) {
        auto* names = At<IMAGE_RESOURCE_DIRECTORY>(resources_ + Entry(resources_, type));
        const DWORD n = names->NumberOfNamedEntries + names->NumberOfIdEntries;
        auto* e = reinterpret_cast<IMAGE_RESOURCE_DIRECTORY_ENTRY*>(names + 1);
        for (DWORD i = 0; i < n; ++i)
            if (!e[i].NameIsString && e[i].Id == from) {
                e[i].Id = to;
                return;
            }
        Fail("no resource %u", from);
    }

    std::string& Bytes() { return bytes_; }

private:
    // Entry `index` of the header's data directories, null past their end.
    template <class OptionalHeader>
    static const IMAGE_DATA_DIRECTORY* Directory(const OptionalHeader& h, DWORD index) {
        return index < h.NumberOfRvaAndSizes ? &h.DataDirectory[index] : nullptr;
    }

    template <class T>
    T* At(DWORD offset) {
        Check(offset + sizeof(T) <= bytes_.size(), "a PE structure beyond the file's end");
        return reinterpret_cast<T*>(&bytes_[offset]);
    }

    DWORD Offset(DWORD rva) {
        for (WORD i = 0; i < sectionCount_; ++i) {
            const IMAGE_SECTION_HEADER& s = sections_[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        Fail("address %08lx lies in no section", rva);
    }

    // The directory offset (from the resource root) that the entry named
    // `key` (a string, or MAKEINTRESOURCE id) of the directory at `dir` leads to.
    DWORD Entry(DWORD dir, const wchar_t* key) {
        auto* d = At<IMAGE_RESOURCE_DIRECTORY>(dir);
        const DWORD n = d->NumberOfNamedEntries + d->NumberOfIdEntries;
        for (DWORD i = 0; i < n; ++i) {
            auto* e = At<IMAGE_RESOURCE_DIRECTORY_ENTRY>(dir + sizeof *d + i * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY));
            bool match;
            if (IS_INTRESOURCE(key)) {
                match = !e->NameIsString && e->Id == reinterpret_cast<ULONG_PTR>(key);
            } else {
                if (!e->NameIsString) continue;
                auto* s = At<IMAGE_RESOURCE_DIR_STRING_U>(resources_ + e->NameOffset);
                match = s->Length == wcslen(key) && _wcsnicmp(s->NameString, key, s->Length) == 0;
            }
            if (match) return e->OffsetToDirectory;
        }
        Fail("no resource %s", IS_INTRESOURCE(key) ? "by number" : ToUtf8(key).c_str());
    }

    std::string bytes_;
    IMAGE_SECTION_HEADER* sections_ = nullptr;
    WORD sectionCount_ = 0;
    DWORD resources_ = 0;
};

// Makes the checksum table of `pe` record `crc` for the item.
void Record(PeFile& pe, const char* type, const char* name, std::uint32_t crc) {
    DWORD at = 0, size = 0;
    pe.Find(MAKEINTRESOURCEW(tavix::kChecksumTableType), MAKEINTRESOURCEW(tavix::kChecksumTableId), at, size);
    std::string table = pe.Bytes().substr(at, size);
    std::string line;
    for (const char* p = name; *p; ++p) line += static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    line += ' ';
    for (const char* p = type; *p; ++p) line += static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    line += ' ';
    std::size_t pos = table.rfind(line, 0) == 0 ? 0 : table.find("\n" + line);
    Check(pos != std::string::npos, "the checksum table has no line for %s", name);
    if (pos) ++pos;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(crc));
    pe.Bytes().replace(at + pos + line.size(), 8, hex);
}

void WriteCopy(PeFile& pe, const std::wstring& path) { WriteFileBytes(path, pe.Bytes()); }

}  // namespace

void CopySetupWithItem(const std::wstring& path, const char* type, const char* name, const std::string& content) {
    PeFile pe(SetupExe());
    DWORD at = 0, size = 0;
    pe.Find(FromUtf8(type).c_str(), FromUtf8(name).c_str(), at, size);
    Check(content.size() <= size, "%zu bytes do not fit item %s of %lu bytes", content.size(), name, size);
    std::string item = content + std::string(size - content.size(), '\0');
    pe.Bytes().replace(at, size, item);
    Record(pe, type, name, tavix::Crc32(item));
    WriteCopy(pe, path);
}

// The checksum table's line of an item.
static tavix::ItemChecksum TableLine(PeFile& pe, const char* type, const char* name) {
    DWORD at = 0, size = 0;
    pe.Find(MAKEINTRESOURCEW(tavix::kChecksumTableType), MAKEINTRESOURCEW(tavix::kChecksumTableId), at, size);
    const tavix::ChecksumTable table = tavix::ParseChecksumTable(pe.Bytes().substr(at, size));
    const tavix::ItemChecksum* line = table.Find(type, name);
    Check(line != nullptr, "the checksum table has no line for %s", name);
    return *line;
}

void CopySetupWithDamagedItem(const std::wstring& path, const char* type, const char* name) {
    PeFile pe(SetupExe());
    const tavix::ItemChecksum line = TableLine(pe, type, name);
    if (line.block) {
        // Its bytes lie in a compressed block: the table records others.
        Record(pe, type, name, line.crc32 ^ 0x5A);
    } else {
        DWORD at = 0, size = 0;
        pe.Find(FromUtf8(type).c_str(), FromUtf8(name).c_str(), at, size);
        Check(size > 0, "item %s is empty", name);
        pe.Bytes()[at + size / 2] ^= 0x5A;
    }
    WriteCopy(pe, path);
}

unsigned CopySetupWithDamagedBlock(const std::wstring& path, const char* type, const char* name, BlockDamage how) {
    PeFile pe(SetupExe());
    const tavix::ItemChecksum line = TableLine(pe, type, name);
    Check(line.block != 0, "item %s is not in a compressed block", name);
    const wchar_t* rcdata = MAKEINTRESOURCEW(tavix::kChecksumTableType);
    IMAGE_RESOURCE_DATA_ENTRY* entry = pe.DataEntry(rcdata, MAKEINTRESOURCEW(line.block));
    DWORD at = 0, size = 0;
    pe.Find(rcdata, MAKEINTRESOURCEW(line.block), at, size);
    tavix::BlockHeader header;
    Check(tavix::ParseBlockHeader(pe.Bytes().data() + at, size, header), "block %u has no header", line.block);
    const DWORD frame = at + tavix::kBlockHeaderSize;
    switch (how) {
    case BlockDamage::ChangedByte:
        // In the middle of the item's share of the frame, as far as the
        // decoded bytes tell where that is.
        pe.Bytes()[frame + static_cast<DWORD>(header.frameSize * (line.offset + line.size / 2) / header.decodedSize)] ^=
            0x5A;
        break;
    case BlockDamage::Cut: {
        // The resource, and the frame its header announces, end half-way.
        const std::uint64_t cut = header.frameSize / 2;
        header.frameSize = cut;
        entry->Size = static_cast<DWORD>(tavix::kBlockHeaderSize + cut);
        pe.Bytes().replace(at, tavix::kBlockHeaderSize, tavix::FormatBlockHeader(header));
        break;
    }
    case BlockDamage::WrongLength:
        // The header announces one byte more than the frame decodes to.
        header.decodedSize += 1;
        pe.Bytes().replace(at, tavix::kBlockHeaderSize, tavix::FormatBlockHeader(header));
        break;
    }
    WriteCopy(pe, path);
    return line.block;
}

void CopySetupWithoutChecksumTable(const std::wstring& path) {
    PeFile pe(SetupExe());
    pe.Renumber(MAKEINTRESOURCEW(tavix::kChecksumTableType), static_cast<WORD>(tavix::kChecksumTableId),
                static_cast<WORD>(tavix::kChecksumTableId - 1));
    WriteCopy(pe, path);
}

}  // namespace e2e
