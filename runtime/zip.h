// The zip component: a folder (or one file) into a zip archive and an archive into a folder.
// Paths are GBK texts; member names are GBK bytes, "/" between folders when written, "/" or "\"
// when read. An archive is untrusted input: members whose names leave the destination are
// refused, and the extracted sizes are held to the limits below.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/text.h"

// Told the percentage done after each member; returning false stops the operation.
using ZipProgress = std::function<bool(int percent)>;

// Compression level of deflated members.
constexpr int kZipLevel = 8;

// Limits of an extraction.
// A member is held whole in memory before it is written, and nothing the programs pack (stored
// files, the database copy, an update's program files) comes near this size.
constexpr std::uint64_t kZipMemberLimit = 256ull << 20;
// All members of one archive together, however small it is: a disk is not filled by a package
// or an update, whose archive the package format keeps below 2 GiB anyway.
constexpr std::uint64_t kZipTotalLimit = 2ull << 30;
// All members together are at most this many times the archive's size (plus the allowance
// below): real content deflates by far less, a zip bomb by about 1000.
constexpr std::uint64_t kZipRatioLimit = 100;
// What any archive may unpack to regardless of its size, so small archives of very compressible
// content (an empty database template, blank pages) still unpack.
constexpr std::uint64_t kZipRatioAllowance = 64ull << 20;
// Longest member name read; a longer one is refused rather than cut.
constexpr std::size_t kZipNameLimit = 4096;

// Results of ZipExtract.
constexpr int kZipExtractDone = 1;
constexpr int kZipExtractFailed = 0;
constexpr int kZipExtractMissing = -1;

// Zips every file and folder below source, recursively, named relative to it (a single file is
// one member of its own name); folders are entries of their own. Files are deflated at level 8,
// except names ending in ".Z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz" or ".tgz" and the
// folders, which are stored; nothing is encrypted. progress gets done * 100 / total after each
// member, so the last one gets 100, always before the archive is completed; an empty folder
// gets one 100. True when the archive was written whole. On failure or a stop no archive is
// left behind; a missing source, a name GBK cannot hold or an unreadable file fail.
bool ZipCompress(const Text& source, const Text& archive, const ZipProgress& progress = {});

// Unpacks every member below destination (created with its parents when needed), overwriting
// files of the same name, read-only ones included. kZipExtractMissing when the archive does not
// exist; kZipExtractFailed when the destination cannot be made, the archive cannot be opened,
// a member fails or progress stops it; kZipExtractDone when every member was written.
// Once the archive is open, progress gets min(done * 100 / total, 99) after each member written
// and then, before the archive is closed, one 100, also after a member failed; a stop by
// progress ends at once, without the 100. A member failing stops the extraction; the members
// before it stay written. A member fails when its name is absolute, names a drive (":"), has a
// ".." part, is longer than kZipNameLimit, when it is encrypted, exceeds a limit (by its header
// or while it inflates), or does not inflate to exactly its header's size and CRC.
int ZipExtract(const Text& archive, const Text& destination, const ZipProgress& progress = {});

// Lets the caller write some member files elsewhere than below the destination, so they need not
// be moved afterwards. target gets the parts of a file member's checked path below the
// destination and gives another full path for it, or "" for its usual place; written is told
// each file written whole at such a path. A file is written there only as a new file: when
// something of that name is there already, or the write fails, it is written at its usual place.
struct ZipRedirect {
  std::function<Text(const std::vector<Text>& parts)> target;
  std::function<void(const Text& path)> written;
};

// The same for an archive held in memory (size bytes at data), which saves writing it to a file
// and reading it back; kZipExtractMissing is never returned. Members are written on several
// threads (those of one name in archive order, the redirect's calls one at a time), so when a
// member fails, members after it may be written too, and when progress stops it, members after
// the last one told.
// For an archive still arriving in memory: ready waits until bytes [from, to) of it are there
// and says whether they are (false: they never will be, and the unpacking fails). It is called
// before any byte is read, from the calling thread and from a thread of the unpacking's own.
using ZipBytesReady = std::function<bool(std::uint64_t from, std::uint64_t to)>;
int ZipExtractBytes(const std::uint8_t* data, std::size_t size, const Text& destination,
                    const ZipProgress& progress = {}, const ZipRedirect& redirect = {},
                    const ZipBytesReady& ready = {});
