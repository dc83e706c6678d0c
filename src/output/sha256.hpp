// The SHA-256 digest of a file, for run manifests: the file is read in blocks
// (never whole) and hashed by the system's library, OpenSSL's libcrypto on
// Linux and the CNG API (bcrypt) on Windows.
//
// Returns the number of bytes read and the digest as 64 lower-case hex
// digits. Raises a RuntimeError naming the file:
//   Cannot read "<path>" for its SHA-256: <reason>.
#pragma once

#include <cstdint>
#include <string>

namespace dg {

struct FileDigest {
  std::uintmax_t size = 0;
  std::string sha256;
};

FileDigest sha256_file(const std::string& path);

}  // namespace dg
