// A release folder for the release checks' tests: host paths are "rel/" and
// the manifest's target path, and each holds what the test says.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "tools/release_check.h"

namespace release_test {

struct FakeFolder {
    std::map<std::string, tavix::FileFacts> files;  // host path -> what it is
    std::vector<std::string> extra;                  // files listed but named by no line

    // A regular file of `size` bytes at "rel/" + target.
    void Add(const std::string& target, std::uint64_t size = 10) {
        files["rel/" + target] = tavix::FileFacts{tavix::FileKind::kRegular, size, ""};
    }
    void Set(const std::string& target, tavix::FileKind kind, const std::string& linkTarget = "") {
        files["rel/" + target] = tavix::FileFacts{kind, 0, linkTarget};
    }

    tavix::ReleaseFolder Folder() const {
        tavix::ReleaseFolder f;
        f.hostPath = [](const std::string& t) { return "rel/" + t; };
        f.inspect = [this](const std::string& p) {
            auto it = files.find(p);
            return it == files.end() ? tavix::FileFacts{} : it->second;
        };
        f.listFiles = [this] {
            std::vector<std::string> all = extra;
            for (const auto& [path, facts] : files)
                if (facts.kind == tavix::FileKind::kRegular) all.push_back(path);
            return all;
        };
        return f;
    }
};

inline std::string Joined(const std::vector<std::string>& v) {
    std::string out;
    for (const std::string& s : v) out += s + "\n";
    return out;
}

} // namespace release_test
