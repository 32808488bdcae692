// RS256 with system DLLs only: crypt32 reads the PEM, bcrypt imports the RSA key and signs.
#include "platform/rsa_signature.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>
#include <vector>

#include "platform/os_error.h"
#include "platform/unique_handle.h"

namespace eqd::platform {
namespace {

void CloseAlgorithm(BCRYPT_ALG_HANDLE h) { BCryptCloseAlgorithmProvider(h, 0); }
using TAlgorithm = TUniqueHandle<BCRYPT_ALG_HANDLE, &CloseAlgorithm>;
using TKey = TUniqueHandle<BCRYPT_KEY_HANDLE, &BCryptDestroyKey>;

[[noreturn]] void Fail(const char* step, DWORD code) {
  const std::string text = SystemErrorText(static_cast<OsErrorCode>(code));
  throw ESignatureError(std::string(step) + (text.empty() ? "" : ": " + text));
}

void CheckStatus(const char* step, NTSTATUS status) {
  if (status < 0) throw ESignatureError(std::string(step) + ": NTSTATUS 0x" + [&] {
    char hex[9];
    snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(status));
    return std::string(hex);
  }());
}

// A DER element's contents. The key's structure is read here rather than
// with CryptDecodeObjectEx, whose PKCS#8 decoding not every implementation of the API has.
struct TDerElementStruct {
  const BYTE* Data = nullptr;
  size_t Size = 0;
};

class TDerReader {
 public:
  TDerReader(const BYTE* data, size_t size) : p_(data), end_(data + size) {}

  TDerElementStruct Next(BYTE expectedTag) {
    if (end_ - p_ < 2 || *p_ != expectedTag) throw ESignatureError("not a PKCS#8 RSA private key");
    ++p_;
    TDerElementStruct element;
    size_t length = *p_++;
    if (length & 0x80) {
      const size_t bytes = length & 0x7f;
      if (bytes == 0 || bytes > 4 || static_cast<size_t>(end_ - p_) < bytes) throw ESignatureError("bad DER length");
      length = 0;
      for (size_t i = 0; i < bytes; ++i) length = (length << 8) | *p_++;
    }
    if (static_cast<size_t>(end_ - p_) < length) throw ESignatureError("bad DER length");
    element.Data = p_;
    element.Size = length;
    p_ += length;
    return element;
  }

  // An unsigned INTEGER's bytes, big-endian, without the leading zero of its sign.
  std::vector<BYTE> Integer() {
    TDerElementStruct e = Next(0x02);
    while (e.Size > 1 && *e.Data == 0) ++e.Data, --e.Size;
    return std::vector<BYTE>(e.Data, e.Data + e.Size);
  }

 private:
  const BYTE* p_;
  const BYTE* end_;
};

// PrivateKeyInfo (RFC 5208) around RSAPrivateKey (RFC 8017) → bcrypt's RSA private blob:
// a header of sizes, then the public exponent, the modulus and the two primes.
std::vector<BYTE> BcryptPrivateBlob(const BYTE* der, size_t size) {
  static constexpr BYTE kRsaEncryption[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
  TDerReader outer(der, size);
  const TDerElementStruct info = outer.Next(0x30);
  TDerReader fields(info.Data, info.Size);
  fields.Integer();  // version
  const TDerElementStruct algorithm = fields.Next(0x30);
  TDerReader algorithmFields(algorithm.Data, algorithm.Size);
  const TDerElementStruct oid = algorithmFields.Next(0x06);
  if (oid.Size != sizeof(kRsaEncryption) || memcmp(oid.Data, kRsaEncryption, oid.Size) != 0)
    throw ESignatureError("not an RSA key");
  const TDerElementStruct privateKey = fields.Next(0x04);
  TDerReader keyOuter(privateKey.Data, privateKey.Size);
  const TDerElementStruct key = keyOuter.Next(0x30);
  TDerReader numbers(key.Data, key.Size);
  numbers.Integer();  // version
  const std::vector<BYTE> modulus = numbers.Integer(), exponent = numbers.Integer();
  numbers.Integer();  // private exponent
  std::vector<BYTE> prime1 = numbers.Integer(), prime2 = numbers.Integer();

  BCRYPT_RSAKEY_BLOB header{};
  header.Magic = BCRYPT_RSAPRIVATE_MAGIC;
  header.BitLength = static_cast<ULONG>(modulus.size() * 8);
  header.cbPublicExp = static_cast<ULONG>(exponent.size());
  header.cbModulus = static_cast<ULONG>(modulus.size());
  header.cbPrime1 = static_cast<ULONG>(prime1.size());
  header.cbPrime2 = static_cast<ULONG>(prime2.size());
  std::vector<BYTE> blob(reinterpret_cast<const BYTE*>(&header), reinterpret_cast<const BYTE*>(&header) + sizeof(header));
  const auto append = [&blob](const std::vector<BYTE>& part) { blob.insert(blob.end(), part.begin(), part.end()); };
  append(exponent);
  append(modulus);
  append(prime1);
  append(prime2);
  SecureZeroMemory(prime1.data(), prime1.size());
  SecureZeroMemory(prime2.data(), prime2.size());
  return blob;
}

}  // namespace

std::string SignRs256(std::string_view pkcs8Pem, std::string_view data) {
  DWORD derSize = 0;
  if (!CryptStringToBinaryA(pkcs8Pem.data(), static_cast<DWORD>(pkcs8Pem.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                            &derSize, nullptr, nullptr))
    Fail("CryptStringToBinaryA", GetLastError());
  std::vector<BYTE> der(derSize);
  if (!CryptStringToBinaryA(pkcs8Pem.data(), static_cast<DWORD>(pkcs8Pem.size()), CRYPT_STRING_BASE64HEADER,
                            der.data(), &derSize, nullptr, nullptr))
    Fail("CryptStringToBinaryA", GetLastError());

  std::vector<BYTE> blob = BcryptPrivateBlob(der.data(), derSize);
  SecureZeroMemory(der.data(), der.size());

  TAlgorithm rsa;
  CheckStatus("BCryptOpenAlgorithmProvider", BCryptOpenAlgorithmProvider(rsa.Put(), BCRYPT_RSA_ALGORITHM, nullptr, 0));
  TKey key;
  CheckStatus("BCryptImportKeyPair", BCryptImportKeyPair(rsa.Get(), nullptr, BCRYPT_RSAPRIVATE_BLOB, key.Put(),
                                                         blob.data(), static_cast<ULONG>(blob.size()), 0));
  SecureZeroMemory(blob.data(), blob.size());

  TAlgorithm sha256;
  CheckStatus("BCryptOpenAlgorithmProvider", BCryptOpenAlgorithmProvider(sha256.Put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0));
  UCHAR hash[32];
  CheckStatus("BCryptHash", BCryptHash(sha256.Get(), nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                                       static_cast<ULONG>(data.size()), hash, sizeof(hash)));

  BCRYPT_PKCS1_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM};
  ULONG size = 0;
  CheckStatus("BCryptSignHash", BCryptSignHash(key.Get(), &padding, hash, sizeof(hash), nullptr, 0, &size, BCRYPT_PAD_PKCS1));
  std::string signature(size, '\0');
  CheckStatus("BCryptSignHash", BCryptSignHash(key.Get(), &padding, hash, sizeof(hash),
                                               reinterpret_cast<PUCHAR>(signature.data()), size, &size, BCRYPT_PAD_PKCS1));
  signature.resize(size);
  return signature;
}

}  // namespace eqd::platform
