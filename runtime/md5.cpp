// MD5 through OpenSSL's EVP interface (the one-shot MD5() is deprecated in OpenSSL 3).
#include "runtime/md5.h"

#include <openssl/evp.h>

Md5Digest ComputeMd5(const std::uint8_t* data, std::size_t length) {
  Md5Digest digest{};
  unsigned int size = 0;
  static const std::uint8_t kNothing = 0;
  EVP_Digest(data != nullptr ? data : &kNothing, length, digest.data(), &size, EVP_md5(), nullptr);
  return digest;
}
