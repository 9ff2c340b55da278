#pragma once

#include <openssl/evp.h>

#include <cstdio>
#include <string>

namespace tovela::testing {

// The SHA-256 of bytes in lower-case hexadecimal, as the fake server keeps uploads.
inline std::string Sha256(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

}  // namespace tovela::testing
