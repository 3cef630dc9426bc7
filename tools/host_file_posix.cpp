#include "host_file.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace tavix {
namespace {

// The temporary output file, removed when a signal ends the program.
char gPendingOutput[4096];

extern "C" void RemovePendingOutput(int sig) {
    if (gPendingOutput[0]) unlink(gPendingOutput);
    signal(sig, SIG_DFL);
    raise(sig);
}

void WatchForInterruption(const std::string& temp) {
    if (temp.size() >= sizeof gPendingOutput) return;
    std::memcpy(gPendingOutput, temp.c_str(), temp.size() + 1);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, RemovePendingOutput);
}

void StopWatching() {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
    gPendingOutput[0] = '\0';
}

bool WriteAll(int fd, const char* p, std::size_t size, const off_t* at) {
    for (off_t offset = at ? *at : 0; size > 0;) {
        ssize_t n = at ? pwrite(fd, p, size, offset) : write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

// Exactly `size` bytes at `offset`; false when the file ends before or a read fails.
bool ReadAll(int fd, std::uint64_t offset, char* p, std::size_t size) {
    while (size > 0) {
        ssize_t n = pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

} // namespace

std::string LastErrorText() { return std::strerror(errno); }

InputFile::~InputFile() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool InputFile::Open(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        int e = errno;
        close(fd);
        errno = e;
        return false;
    }
    handle_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool InputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    return ReadAll(static_cast<int>(handle_), offset, static_cast<char*>(buffer), size);
}

long long InputFile::Read(void* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = read(static_cast<int>(handle_), buffer, size);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

ScratchFile::~ScratchFile() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool ScratchFile::Create(const std::string& path) {
    const std::string name = path + ".scratch-" + std::to_string(getpid());
    int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    unlink(name.c_str());
    handle_ = fd;
    return true;
}

bool ScratchFile::Write(const void* data, std::size_t size) {
    const off_t at = static_cast<off_t>(size_);
    if (!WriteAll(static_cast<int>(handle_), static_cast<const char*>(data), size, &at)) return false;
    size_ += size;
    return true;
}

bool ScratchFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    return ReadAll(static_cast<int>(handle_), offset, static_cast<char*>(buffer), size);
}

bool OutputFile::Create(const std::string& path, bool program) {
    path_ = path;
    temp_ = path + ".writing-" + std::to_string(getpid());
    int fd = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, program ? 0777 : 0666);
    if (fd < 0) {
        temp_.clear();
        return false;
    }
    handle_ = fd;
    WatchForInterruption(temp_);
    return true;
}

bool OutputFile::Write(const void* data, std::size_t size) {
    return WriteAll(static_cast<int>(handle_), static_cast<const char*>(data), size, nullptr);
}

bool OutputFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    const off_t at = static_cast<off_t>(offset);
    return WriteAll(static_cast<int>(handle_), static_cast<const char*>(data), size, &at);
}

bool OutputFile::Commit() {
    int fd = static_cast<int>(handle_);
    handle_ = -1;
    if (close(fd) != 0 || rename(temp_.c_str(), path_.c_str()) != 0) {
        int e = errno;
        unlink(temp_.c_str());
        StopWatching();
        errno = e;
        return false;
    }
    StopWatching();
    temp_.clear();
    return true;
}

void OutputFile::Discard() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
    handle_ = -1;
    if (!temp_.empty()) {
        int e = errno;
        unlink(temp_.c_str());
        StopWatching();
        errno = e;
    }
    temp_.clear();
}

bool FolderExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void PrintLine(std::FILE* stream, const std::string& text) {
    std::fputs(text.c_str(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace tavix
