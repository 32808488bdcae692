// RS256 with system DLLs only: crypt32 reads the PEM and the PKCS#8 structure, bcrypt
// imports the RSA key and signs.
#include "platform/rsa_signature.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <vector>

#include "platform/os_error.h"
#include "platform/unique_handle.h"
#include "platform/win32/handles.h"

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

// Decodes one ASN.1 structure; the system allocates the result, LocalFree releases it.
win32::TLocalMemory<BYTE*> Decode(LPCSTR type, const BYTE* der, DWORD size, DWORD& decodedSize) {
  win32::TLocalMemory<BYTE*> decoded;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, type, der, size, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                           decoded.Put(), &decodedSize))
    Fail("CryptDecodeObjectEx", GetLastError());
  return decoded;
}

// CryptoAPI's private key blob holds little-endian numbers; bcrypt's RSA blob wants them
// big-endian, after a header of their sizes.
std::vector<BYTE> BcryptPrivateBlob(const BYTE* legacy, DWORD size) {
  if (size < sizeof(BLOBHEADER) + sizeof(RSAPUBKEY)) throw ESignatureError("RSA key too short");
  RSAPUBKEY pub;
  memcpy(&pub, legacy + sizeof(BLOBHEADER), sizeof(pub));
  const DWORD modulusBytes = pub.bitlen / 8, primeBytes = pub.bitlen / 16;
  const BYTE* numbers = legacy + sizeof(BLOBHEADER) + sizeof(RSAPUBKEY);
  if (pub.magic != 0x32415352 /* "RSA2" */ ||
      size < sizeof(BLOBHEADER) + sizeof(RSAPUBKEY) + modulusBytes + 2 * primeBytes)
    throw ESignatureError("not an RSA private key");

  BYTE exponent[4];
  DWORD exponentBytes = 0;
  for (int shift = 24; shift >= 0; shift -= 8)
    if (const BYTE b = static_cast<BYTE>(pub.pubexp >> shift); b != 0 || exponentBytes != 0) exponent[exponentBytes++] = b;

  BCRYPT_RSAKEY_BLOB header{};
  header.Magic = BCRYPT_RSAPRIVATE_MAGIC;
  header.BitLength = pub.bitlen;
  header.cbPublicExp = exponentBytes;
  header.cbModulus = modulusBytes;
  header.cbPrime1 = header.cbPrime2 = primeBytes;
  std::vector<BYTE> blob(reinterpret_cast<const BYTE*>(&header), reinterpret_cast<const BYTE*>(&header) + sizeof(header));
  blob.insert(blob.end(), exponent, exponent + exponentBytes);
  const auto appendReversed = [&blob](const BYTE* p, DWORD n) { blob.insert(blob.end(), std::make_reverse_iterator(p + n), std::make_reverse_iterator(p)); };
  appendReversed(numbers, modulusBytes);
  appendReversed(numbers + modulusBytes, primeBytes);
  appendReversed(numbers + modulusBytes + primeBytes, primeBytes);
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

  DWORD infoSize = 0;
  const auto info = Decode(PKCS_PRIVATE_KEY_INFO, der.data(), derSize, infoSize);
  const auto* keyInfo = reinterpret_cast<const CRYPT_PRIVATE_KEY_INFO*>(info.Get());
  if (!keyInfo->Algorithm.pszObjId || strcmp(keyInfo->Algorithm.pszObjId, szOID_RSA_RSA) != 0)
    throw ESignatureError("not an RSA key");
  DWORD legacySize = 0;
  const auto legacy = Decode(PKCS_RSA_PRIVATE_KEY, keyInfo->PrivateKey.pbData, keyInfo->PrivateKey.cbData, legacySize);
  std::vector<BYTE> blob = BcryptPrivateBlob(legacy.Get(), legacySize);
  SecureZeroMemory(legacy.Get(), legacySize);

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
