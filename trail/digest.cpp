#include "trail/digest.h"

#include <openssl/sha.h>

namespace trail {

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    static constexpr char HEX[] = "0123456789abcdef";
    std::string hex(2 * SHA256_DIGEST_LENGTH, '0');
    for (int i = 0; i < SHA256_DIGEST_LENGTH; ++i) {
        hex[static_cast<std::size_t>(2 * i)] = HEX[digest[i] >> 4];
        hex[static_cast<std::size_t>(2 * i + 1)] = HEX[digest[i] & 0x0F];
    }
    return hex;
}

}  // namespace trail
