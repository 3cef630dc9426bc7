// The prebuilt program as the release writer reads it, and the layout of the
// setup made from it: the program's own bytes with its resource section
// rebuilt, the sections that followed it moved behind, and the headers
// (section table, image size, data directory) made to match.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "resource_section.h"

namespace tavix {

struct PeSection {
    std::string name;
    std::uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawPointer = 0, characteristics = 0;
};

// A resource of the program and where its bytes lie in the program's file.
struct ProgramResource {
    ResourceEntry entry;
    std::uint64_t fileOffset = 0;
};

struct ProgramImage {
    std::string headers;  // the file's first SizeOfHeaders bytes
    bool pe32plus = false;
    std::uint32_t optionalHeader = 0, sectionTable = 0;
    std::uint32_t sectionAlignment = 0, fileAlignment = 0;
    std::vector<PeSection> sections;
    int resourceSection = -1;  // the section the resource directory fills; -1: none
    std::vector<ProgramResource> resources;
    std::uint64_t fileSize = 0;
};

// Reads `size` bytes at `offset` of the program's file; false when it cannot.
using ReadAtFn = std::function<bool(std::uint64_t offset, void* buffer, std::size_t size)>;

// Reads and checks the headers and the resources of a program file of
// `fileSize` bytes. Returns what makes it unusable, to follow the program's
// name in a message ("is truncated: ..."), or empty. A 64-bit program
// (PE32+) is refused unless `allow64` is set.
std::string ReadProgram(std::uint64_t fileSize, const ReadAtFn& read, bool allow64, ProgramImage& out);

// Reads the headers and the resources of a setup the writer made, of 32 or
// 64 bits, signed or not (the certificate table after its last section is
// left as it is), to tell what it carries. Returns what makes it unreadable,
// or empty.
std::string ReadSetupImage(std::uint64_t fileSize, const ReadAtFn& read, ProgramImage& out);

// Where the setup's resource section begins in the image: where the
// program's began, or after its last section when it had none.
std::uint32_t ResourceRva(const ProgramImage& program);

// The setup's file, in order: `headers`, then the program's bytes from
// headers.size() up to `keep`, the resource section (resourceRawSize bytes
// at file offset `keep`), then each of `moved` (ranges of the program's file)
// in turn.
struct ImagePlan {
    std::string headers;  // CheckSum 0; set at checksumOffset when the file is written
    std::uint64_t keep = 0;
    std::uint32_t resourceRawSize = 0;
    struct Range {
        std::uint64_t from;
        std::uint32_t size;
    };
    std::vector<Range> moved;
    std::uint64_t fileSize = 0;
    std::uint32_t checksumOffset = 0;
};

// Plans the setup's file for a resource section of `resourceSize` bytes;
// returns why it cannot be made (an image of 4 GB or more), or empty.
std::string PlanImage(const ProgramImage& program, std::uint32_t resourceSize, ImagePlan& out);

// The checksum of a PE file's header: 16-bit little-endian words added with
// end-around carry, then the file's length. Bytes are given in file order,
// in pieces of any size, with the CheckSum field as zero.
class PeChecksum {
public:
    void Add(const void* data, std::size_t size);
    std::uint32_t Finish(std::uint64_t fileSize) const;

private:
    std::uint64_t sum_ = 0;
    bool odd_ = false;  // the next byte is the high byte of a word
};

} // namespace tavix
