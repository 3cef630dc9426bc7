// SHA-256 (FIPS 180-4), as the host's own libraries compute it: OpenSSL's
// libcrypto on Linux (sha256_openssl.cpp), Windows' CNG (bcrypt.dll) on
// Windows (sha256_bcrypt.cpp).
#pragma once
#include <cstddef>
#include <memory>
#include <string>

namespace tavix {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Add(const void* data, std::size_t size);
    // The digest of everything added, as 64 upper-case hexadecimal digits
    // (as the package manager's manifests give it). Ends the hash.
    std::string Hex();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Bytes as upper-case hexadecimal digits, two a byte.
inline std::string UpperHex(const unsigned char* bytes, std::size_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

} // namespace tavix
