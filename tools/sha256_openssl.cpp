#include "sha256.h"

// The one-shot digest functions of libcrypto: the EVP interface would link
// the whole provider machinery (3.8 MB) into the kit's static writer, these
// 30 KB. OpenSSL 3 marks them deprecated, and keeps them.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

namespace tavix {

struct Sha256::State {
    SHA256_CTX ctx;
};

Sha256::Sha256() : state_(new State) { SHA256_Init(&state_->ctx); }
Sha256::~Sha256() = default;

void Sha256::Add(const void* data, std::size_t size) { SHA256_Update(&state_->ctx, data, size); }

std::string Sha256::Hex() {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256_Final(digest, &state_->ctx);
    return UpperHex(digest, sizeof digest);
}

} // namespace tavix
