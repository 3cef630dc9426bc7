// Files and the console as the release writer uses them, with UTF-8 path
// names on every host. One implementation for Linux (host_file_posix.cpp)
// and one for Windows (host_file_win.cpp).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tavix {

#ifdef _WIN32
// The path the wide Windows API takes for a UTF-8 path: full, with the
// prefix that lifts the limit of 260 characters.
std::wstring ApiPath(const std::string& path);
#endif

// The system's reason for the last failed file operation of this thread.
std::string LastErrorText();

// A file read from its start to its end, or at offsets.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // False when the file cannot be opened; LastErrorText() says why.
    bool Open(const std::string& path);
    std::uint64_t Size() const { return size_; }
    // Exactly `size` bytes at `offset`; false when the file ends before or a read fails.
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size);
    // Up to `size` bytes from where the last Read ended: 0 at the end, -1 when a read fails.
    long long Read(void* buffer, std::size_t size);

private:
    std::intptr_t handle_ = -1;
    std::uint64_t size_ = 0;
};

// A file written under a name of its own beside `path` and moved to `path`
// only by Commit. Anything but a Commit removes it: Discard, the destructor,
// and an interruption of the program (Ctrl+C, a termination signal).
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Discard(); }

    // False when the file cannot be created; LastErrorText() says why. A
    // program may be run (on Linux: the mode's execute bits).
    bool Create(const std::string& path, bool program = false);
    // False when the bytes cannot be written (the disk is full, ...).
    bool Write(const void* data, std::size_t size);
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    // Closes the file and gives it its name, replacing a file of that name.
    bool Commit();
    void Discard();

private:
    std::string path_, temp_;
    std::intptr_t handle_ = -1;
};

// A file of the writer's own beside another, for bytes it writes and reads
// back. No name of it stays on the disk: on Linux it is removed at once and
// lives while it is open, on Windows it goes when it is closed, so nothing is
// left whatever ends the program.
class ScratchFile {
public:
    ScratchFile() = default;
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile();

    // Made beside `path`; false when it cannot be (LastErrorText() says why).
    bool Create(const std::string& path);
    // Appends; false when the bytes cannot be written (the disk is full, ...).
    bool Write(const void* data, std::size_t size);
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size);
    std::uint64_t Size() const { return size_; }

private:
    std::intptr_t handle_ = -1;
    std::uint64_t size_ = 0;
};

// The whole of a small file (a control document).
bool ReadWholeFile(const std::string& path, std::string& out);

bool FolderExists(const std::string& path);

// The folder a path names its file in ("." for a bare file name).
std::string FolderOf(const std::string& path);

// Whether two paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b);

// Writes a line of UTF-8 text to standard output or standard error (on a
// Windows console, as the console's own UTF-16).
void PrintLine(std::FILE* stream, const std::string& text);

} // namespace tavix
