#include "platform/rsa_signature.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include "platform/unique_handle.h"

namespace eqd::platform {
namespace {

using TBio = TUniqueHandle<BIO*, &BIO_free_all>;
using TKey = TUniqueHandle<EVP_PKEY*, &EVP_PKEY_free>;
using TDigest = TUniqueHandle<EVP_MD_CTX*, &EVP_MD_CTX_free>;

[[noreturn]] void Fail() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  char text[256] = {};
  if (code != 0) ERR_error_string_n(code, text, sizeof(text));
  throw ESignatureError(text);
}

}  // namespace

std::string SignRs256(std::string_view pkcs8Pem, std::string_view data) {
  ERR_clear_error();
  TBio bio(BIO_new_mem_buf(pkcs8Pem.data(), static_cast<int>(pkcs8Pem.size())));
  if (!bio) Fail();
  // No password callback: a key that asks for one is refused rather than prompted for.
  TKey key(PEM_read_bio_PrivateKey(bio.Get(), nullptr, [](char*, int, int, void*) { return 0; }, nullptr));
  if (!key) Fail();
  if (EVP_PKEY_get_base_id(key.Get()) != EVP_PKEY_RSA) throw ESignatureError("not an RSA key");
  TDigest digest(EVP_MD_CTX_new());
  if (!digest || EVP_DigestSignInit(digest.Get(), nullptr, EVP_sha256(), nullptr, key.Get()) != 1) Fail();
  size_t size = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  if (EVP_DigestSign(digest.Get(), nullptr, &size, bytes, data.size()) != 1) Fail();
  std::string signature(size, '\0');
  if (EVP_DigestSign(digest.Get(), reinterpret_cast<unsigned char*>(signature.data()), &size, bytes, data.size()) != 1)
    Fail();
  signature.resize(size);
  return signature;
}

}  // namespace eqd::platform
