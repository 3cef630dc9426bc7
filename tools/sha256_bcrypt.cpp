#include "sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <stdexcept>

namespace tavix {

// Windows' own implementation (CNG, Vista and later): no library of ours.
struct Sha256::State {
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

Sha256::Sha256() : state_(new State) {
    if (BCryptOpenAlgorithmProvider(&state_->alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0 ||
        BCryptCreateHash(state_->alg, &state_->hash, nullptr, 0, nullptr, 0, 0) < 0)
        throw std::runtime_error("Windows offers no SHA-256 (bcrypt.dll)");
}

Sha256::~Sha256() {
    if (state_->hash) BCryptDestroyHash(state_->hash);
    if (state_->alg) BCryptCloseAlgorithmProvider(state_->alg, 0);
}

void Sha256::Add(const void* data, std::size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
        const ULONG n = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        BCryptHashData(state_->hash, bytes, n, 0);
        bytes += n;
        size -= n;
    }
}

std::string Sha256::Hex() {
    unsigned char digest[32];
    BCryptFinishHash(state_->hash, digest, sizeof digest, 0);
    return UpperHex(digest, sizeof digest);
}

} // namespace tavix
