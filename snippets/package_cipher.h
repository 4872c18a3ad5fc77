// The package cipher: a binary file whose reads and writes en- and decipher each byte by its
// absolute position (RC4 keyed afresh per 4,096-byte block from a digest of the password), so a
// file reads back the same in any number of calls from any position. The first bytes up to a
// plain-prefix length are never touched. No integrity or password check: a wrong password
// reads as garbage, which callers detect themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "runtime/numbered_files.h"
#include "runtime/text.h"

// The permutation S, then the indices i and j: 258 bytes.
struct Rc4State {
  std::uint8_t s[256];
  std::uint8_t i;
  std::uint8_t j;
};
static_assert(sizeof(Rc4State) == 258);

// RC4 as published. A key length below 1 leaves the identity permutation.
void ScheduleRc4Key(const std::uint8_t* key, std::size_t keyLength, Rc4State& state);
// Draws count keystream bytes and discards them; i and j are stored back.
void SkipRc4Keystream(std::size_t count, Rc4State& state);
// XORs the next count keystream bytes onto buffer; i and j are stored back.
void XorRc4Keystream(std::uint8_t* buffer, std::size_t count, Rc4State& state);

// Size of a password digest: 32 lower-case hexadecimal characters and a terminating zero.
constexpr std::size_t kPasswordDigestSize = 33;
// The hexadecimal MD5 of the password bytes with each character pair exchanged and then all 32
// characters reversed (the digest bytes from last to first, high nibble first).
void DigestPassword(const std::uint8_t* password, std::size_t length, char out[kPasswordDigestSize]);

// Bytes per keyed block of file position.
constexpr std::int64_t kCipherBlockSize = 4096;

enum class CipherCopy { Reading, Writing };

// Plain-file modes of OpenDataFile and EncryptedFile::Open.
constexpr int kFileModeRead = 1;    // an existing file, read only
constexpr int kFileModeCreate = 4;  // created or truncated, write only

class EncryptedFile {
 public:
  // ConstructEncryptedFile: not yet open; keys set as SetEncryptedFileKey does.
  EncryptedFile(const Text& password, int plainPrefixLength);
  ~EncryptedFile();
  EncryptedFile(const EncryptedFile&) = delete;
  EncryptedFile& operator=(const EncryptedFile&) = delete;

  // Empty password: bytes pass through. A negative prefix length counts as 0.
  void SetEncryptedFileKey(const Text& password, int plainPrefixLength);
  bool HasPassword() const { return readDigest_[0] != 0; }
  int PlainPrefixLength() const { return plainPrefixLength_; }

  // Binary mode always; kFileModeRead or kFileModeCreate. False when the file cannot be opened
  // or the mode is another; a file already open is closed first.
  bool Open(const Text& path, int mode);
  bool IsOpen() const { return file_ != nullptr; }
  void Close();

  // ReadEncryptedFile: up to count bytes from the current position, deciphered; the count read.
  std::size_t Read(std::uint8_t* buffer, std::size_t count);
  // WriteEncryptedFile: enciphers a copy (the caller's bytes stay unchanged) and writes it at
  // the current position; true when all of it was written.
  bool Write(const std::uint8_t* buffer, std::size_t count);
  bool Seek(std::int64_t position);
  std::int64_t Position() const;  // -1 when not open
  std::int64_t Length() const;    // the raw length; -1 when not open
  bool SetLength(std::int64_t length);

  // XORs the keystream of file bytes [position, position + count) onto buffer in place; bytes
  // inside the plain prefix are left as they are.
  void CipherFileBlocks(std::int64_t position, std::uint8_t* buffer, std::int64_t count,
                        CipherCopy copy) const;

 private:
  std::int32_t plainPrefixLength_ = 0;        // P: leading bytes left plain
  char readDigest_[kPasswordDigestSize] = {};  // D; all zero without password
  Rc4State readState_ = {};                   // key schedule over the password, nothing drawn
  char writeDigest_[kPasswordDigestSize] = {};
  Rc4State writeState_ = {};
  std::FILE* file_ = nullptr;
  Text path_;
};

// Opens a data file under a number for the calls of runtime/numbered_files.h, which then read
// and write through the cipher. An absent or empty password opens a plain file, byte for byte
// what an EncryptedFile without password writes. 0 on failure.
int OpenDataFile(const Text& name, int mode, const Text& password, int plainLeadingBytes);
