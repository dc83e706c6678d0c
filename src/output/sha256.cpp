#include "output/sha256.hpp"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"

#if defined(_WIN32)
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on
#else
#include <openssl/evp.h>
#endif

namespace dg {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;
constexpr std::size_t kDigestBytes = 32;

[[noreturn]] void fail(const std::string& path, const std::string& reason) {
  raise("Cannot read \"" + path + "\" for its SHA-256: " + reason + ".");
}

#if defined(_WIN32)
// One running hash of the CNG API; a failing call raises with its status.
class Hasher {
 public:
  explicit Hasher(const std::string& path) : path_(path) {
    check(::BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
          "BCryptOpenAlgorithmProvider");
    check(::BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0), "BCryptCreateHash");
  }
  ~Hasher() {
    if (hash_ != nullptr) ::BCryptDestroyHash(hash_);
    if (algorithm_ != nullptr) ::BCryptCloseAlgorithmProvider(algorithm_, 0);
  }
  Hasher(const Hasher&) = delete;
  Hasher& operator=(const Hasher&) = delete;

  void update(const unsigned char* bytes, std::size_t size) {
    check(::BCryptHashData(hash_, const_cast<PUCHAR>(bytes), static_cast<ULONG>(size), 0),
          "BCryptHashData");
  }
  std::array<unsigned char, kDigestBytes> finish() {
    std::array<unsigned char, kDigestBytes> digest{};
    check(::BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0),
          "BCryptFinishHash");
    return digest;
  }

 private:
  void check(NTSTATUS status, const char* call) const {
    if (status < 0) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
      fail(path_, std::string(call) + " failed with status " + code);
    }
  }

  std::string path_;
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};

std::FILE* open_file(const std::string& path) {
  return ::_wfopen(file_path(path).c_str(), L"rb");
}
#else
// One running hash of OpenSSL's EVP interface.
class Hasher {
 public:
  explicit Hasher(const std::string& path) : path_(path), context_(EVP_MD_CTX_new()) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) {
      fail(path_, "OpenSSL could not start a SHA-256 digest");
    }
  }
  void update(const unsigned char* bytes, std::size_t size) {
    if (EVP_DigestUpdate(context_.get(), bytes, size) != 1) {
      fail(path_, "OpenSSL could not update the digest");
    }
  }
  std::array<unsigned char, kDigestBytes> finish() {
    std::array<unsigned char, kDigestBytes> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_.get(), digest.data(), &length) != 1 ||
        length != digest.size()) {
      fail(path_, "OpenSSL could not finish the digest");
    }
    return digest;
  }

 private:
  struct Free {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::string path_;
  std::unique_ptr<EVP_MD_CTX, Free> context_;
};

std::FILE* open_file(const std::string& path) {
  return std::fopen(path.c_str(), "rb");
}
#endif

struct Close {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

FileDigest sha256_file(const std::string& path) {
  // A folder, FIFO or device is refused before it is opened: reading one
  // would fail late, block, or never end.
  std::error_code error;
  const auto status = std::filesystem::status(file_path(path), error);
  if (error) fail(path, error.message());
  if (!std::filesystem::is_regular_file(status)) fail(path, "not a regular file");
  std::unique_ptr<std::FILE, Close> file(open_file(path));
  if (!file) fail(path, std::strerror(errno));

  Hasher hasher(path);
  FileDigest result;
  std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
  for (;;) {
    const std::size_t got = std::fread(block.get(), 1, kBlock, file.get());
    if (got > 0) hasher.update(block.get(), got);
    result.size += got;
    if (got < kBlock) break;
  }
  if (std::ferror(file.get())) fail(path, std::strerror(errno));

  static const char kHex[] = "0123456789abcdef";
  for (unsigned char byte : hasher.finish()) {
    result.sha256 += kHex[byte >> 4];
    result.sha256 += kHex[byte & 15];
  }
  return result;
}

}  // namespace dg
