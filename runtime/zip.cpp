// The zip component over minizip. Archives are opened by minizip itself; the files being packed
// are read and the unpacked files written through runtime/files.h.
#include "runtime/zip.h"

#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>

#include "runtime/codepage.h"
#include "runtime/file_time.h"
#include "runtime/files.h"

namespace fs = std::filesystem;

namespace {

// Owners of minizip's handles: an archive left open is closed (and, when written, left
// incomplete, which the caller then removes).
class ZipWriter {
 public:
  explicit ZipWriter(const std::string& native) : zip_(zipOpen64(native.c_str(), APPEND_STATUS_CREATE)) {}
  ~ZipWriter() { Close(); }
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;
  zipFile get() const { return zip_; }
  bool Close() {
    if (zip_ == nullptr) return true;
    const bool ok = zipClose(zip_, nullptr) == ZIP_OK;
    zip_ = nullptr;
    return ok;
  }

 private:
  zipFile zip_;
};

// minizip's file calls over a byte range in memory.
struct MemoryArchive {
  const std::uint8_t* data;
  std::uint64_t size;
  std::uint64_t at = 0;
  const ZipBytesReady* ready = nullptr;  // for bytes still arriving; null when all are there

  bool Ready(std::uint64_t from, std::uint64_t to) const { return ready == nullptr || (*ready)(from, to); }
};

voidpf MemoryOpen(voidpf opaque, const void*, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  static_cast<MemoryArchive*>(opaque)->at = 0;
  return opaque;
}

uLong MemoryRead(voidpf, voidpf stream, void* buf, uLong size) {
  auto* m = static_cast<MemoryArchive*>(stream);
  const std::uint64_t n = std::min<std::uint64_t>(size, m->size - std::min(m->at, m->size));
  if (n > 0 && !m->Ready(m->at, m->at + n)) return 0;
  if (n > 0) std::memcpy(buf, m->data + m->at, static_cast<std::size_t>(n));
  m->at += n;
  return static_cast<uLong>(n);
}

uLong MemoryWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T MemoryTell(voidpf, voidpf stream) { return static_cast<MemoryArchive*>(stream)->at; }

long MemorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* m = static_cast<MemoryArchive*>(stream);
  std::uint64_t from = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) from = m->at;
  if (origin == ZLIB_FILEFUNC_SEEK_END) from = m->size;
  if (offset > m->size || from > m->size - offset) return -1;
  m->at = from + offset;
  return 0;
}

int MemoryClose(voidpf, voidpf) { return 0; }

int MemoryError(voidpf, voidpf) { return 0; }

class ZipReader {
 public:
  explicit ZipReader(const std::string& native) : unz_(unzOpen64(native.c_str())) {}
  explicit ZipReader(MemoryArchive& memory) {
    zlib_filefunc64_def calls{};
    calls.zopen64_file = MemoryOpen;
    calls.zread_file = MemoryRead;
    calls.zwrite_file = MemoryWrite;
    calls.ztell64_file = MemoryTell;
    calls.zseek64_file = MemorySeek;
    calls.zclose_file = MemoryClose;
    calls.zerror_file = MemoryError;
    calls.opaque = &memory;
    unz_ = unzOpen2_64("memory", &calls);
  }
  ~ZipReader() {
    if (unz_ != nullptr) unzClose(unz_);
  }
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;
  unzFile get() const { return unz_; }

 private:
  unzFile unz_;
};

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Byte positions of the separators that stand at character boundaries.
std::vector<std::size_t> SeparatorPositions(const Text& path) {
  std::vector<std::size_t> found;
  for (std::size_t k = 0; k < path.size(); ++k) {
    if (IsLeadByte(path[k])) {
      ++k;  // the second byte belongs to the character
    } else if (IsSeparator(path[k])) {
      found.push_back(k);
    }
  }
  return found;
}

// Makes the folder and every missing folder above it.
bool MakeDirectories(const Text& folder) {
  for (std::size_t at : SeparatorPositions(folder)) {
    if (at == 0) continue;
    const Text prefix = folder.substr(0, at);
    if (!FileExists(prefix) && !MakeDirectory(prefix)) return false;
  }
  return MakeDirectory(folder);
}

Text WithoutTrailingSeparators(Text path) {
  while (path.size() > 1) {
    const std::vector<std::size_t> seps = SeparatorPositions(path);
    if (seps.empty() || seps.back() != path.size() - 1) break;
    path.pop_back();
  }
  return path;
}

// ---- compress ----

struct Member {
  Text name;           // GBK, "/" between folders, a folder ending in "/"
  std::string native;  // the file or folder on disk
  bool folder = false;
};

bool StoredByName(const Text& name) {
  static const char* const kStored[] = {".Z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz"};
  for (const char* ext : kStored) {
    const std::size_t n = std::char_traits<char>::length(ext);
    if (name.size() >= n && name.compare(name.size() - n, n, ext) == 0) return true;
  }
  return false;
}

// The GBK form of one native name, or false when GBK cannot hold it (it would unpack under
// another name).
bool GbkName(const std::string& native, Text& out) {
  out = PathFromNative(native);
  return !out.empty() && ConvertGbkToUtf8(out) == native;
}

// Folders before their contents, names in byte order, so archives come out the same each time.
bool CollectMembers(const fs::path& folder, const Text& prefix, std::vector<Member>& members) {
  std::error_code ec;
  std::vector<fs::path> children;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    children.push_back(it->path());
  }
  if (ec) return false;
  std::sort(children.begin(), children.end());
  for (const fs::path& child : children) {
    Text name;
    if (!GbkName(child.filename().string(), name)) return false;
    const fs::file_status link = fs::symlink_status(child, ec);
    if (ec) return false;
    if (fs::is_directory(link)) {
      members.push_back({prefix + name + "/", child.string(), true});
      if (!CollectMembers(child, prefix + name + "/", members)) return false;
    } else if (fs::is_regular_file(fs::status(child, ec))) {
      // A link to a file is packed as the file; links to folders are not followed (loops).
      members.push_back({prefix + name, child.string(), false});
    }
  }
  return true;
}

zip_fileinfo FileInfo(const Member& member) {
  zip_fileinfo info{};
  LocalTime t;
  if (FileModifiedLocalTime(member.native, t) && t.year >= 1980 && t.year <= 2107) {
    info.tmz_date.tm_year = static_cast<uInt>(t.year);
    info.tmz_date.tm_mon = static_cast<uInt>(t.month - 1);
    info.tmz_date.tm_mday = static_cast<uInt>(t.day);
    info.tmz_date.tm_hour = static_cast<uInt>(t.hour);
    info.tmz_date.tm_min = static_cast<uInt>(t.minute);
    info.tmz_date.tm_sec = static_cast<uInt>(t.second);
  } else {
    info.tmz_date.tm_year = 1980;
    info.tmz_date.tm_mday = 1;
  }
  info.external_fa = member.folder ? 0x10 : 0x20;  // MS-DOS folder / archive attribute
  return info;
}

bool AddMember(zipFile zip, const Member& member) {
  Bytes data;
  if (!member.folder) {
    data = ReadFileBytes(PathFromNative(member.native));
    std::error_code ec;
    const auto size = fs::file_size(member.native, ec);
    if (ec || (data.empty() && size != 0)) return false;  // unreadable, not empty
  }
  const bool stored = member.folder || StoredByName(member.name);
  const zip_fileinfo info = FileInfo(member);
  const int zip64 = data.size() >= 0xFFFFFFFFull ? 1 : 0;
  if (zipOpenNewFileInZip64(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            stored ? 0 : Z_DEFLATED, stored ? 0 : kZipLevel, zip64) != ZIP_OK) {
    return false;
  }
  bool ok = true;
  constexpr std::size_t kChunk = 1u << 30;
  for (std::size_t done = 0; ok && done < data.size(); done += kChunk) {
    const unsigned n = static_cast<unsigned>(std::min(kChunk, data.size() - done));
    ok = zipWriteInFileInZip(zip, data.data() + done, n) == ZIP_OK;
  }
  return zipCloseFileInZip(zip) == ZIP_OK && ok;
}

// ---- extract ----

// The member's place below the destination: its GBK path, the parts of that path below the
// destination and whether it is a folder, or false when the name must be refused.
bool MemberTarget(const Text& destination, const Text& name, Text& target, std::vector<Text>& parts,
                  bool& folder) {
  if (name.empty() || IsSeparator(name[0])) return false;  // absolute, or a network path
  if (name.find(':') != Text::npos) return false;        // drive letter ("C:x"), stream names
  parts.clear();
  std::size_t start = 0;
  std::vector<std::size_t> seps = SeparatorPositions(name);
  seps.push_back(name.size());
  for (std::size_t at : seps) {
    Text part = name.substr(start, at - start);
    start = at + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return false;
    // Each part on its own must stay one native name: a byte the code page cannot take never
    // turns into a separator or a "..".
    const std::string native = ConvertGbkToUtf8(part);
    if (native.empty() || native == "." || native == ".." ||
        native.find_first_of("/\\") != std::string::npos) {
      return false;
    }
    parts.push_back(part);
  }
  folder = seps.size() > 1 && seps[seps.size() - 2] == name.size() - 1;
  if (parts.empty()) {
    if (!folder) return false;  // "./" is the destination itself
    target = destination;
    return true;
  }
  target = destination;
  std::string expected = NativePath(destination);
  for (const Text& part : parts) {
    target += "/" + part;
    expected += "/" + ConvertGbkToUtf8(part);
  }
  return NativePath(target) == expected;
}

// A member ready to be written: its place (and path parts) below the destination, whether it is
// a folder, and a file's bytes.
struct PreparedMember {
  Text target;
  std::vector<Text> parts;
  bool folder = false;
  Bytes data;
  // The CRC the data must have, checked when the member is placed: of a member held in memory,
  // so that threads placing members side by side share that work.
  std::optional<uLong> crc;
};

class Extraction {
 public:
  // memory: the archive's bytes when it is held in memory, else null.
  Extraction(unzFile unz, const MemoryArchive* memory, Text destination, std::uint64_t totalLimit,
             const ZipRedirect& redirect)
      : unz_(unz),
        memory_(memory),
        destination_(std::move(destination)),
        totalLimit_(totalLimit),
        redirect_(redirect) {}

  // The current member written whole, or false.
  bool ExtractCurrent() {
    PreparedMember member;
    return Prepare(member) && Place(member);
  }

  // The current member checked and, when it is a file, inflated (of an archive in memory, its
  // CRC is left to Place); nothing is written yet. The limits count it as written from here on.
  bool Prepare(PreparedMember& member) {
    unz_file_info64 info;
    std::vector<char>& name = name_;
    std::fill(name.begin(), name.end(), 0);
    if (unzGetCurrentFileInfo64(unz_, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0,
                                nullptr, 0) != UNZ_OK) {
      return false;
    }
    if (info.size_filename > kZipNameLimit) return false;
    Text memberName(name.data(), info.size_filename);
    if (memberName.find('\0') != Text::npos) return false;
    if ((info.flag & 0x800) != 0) memberName = ConvertUtf8ToGbk(memberName);  // UTF-8 name flag

    if (!MemberTarget(destination_, memberName, member.target, member.parts, member.folder)) return false;
    if (member.folder) return true;

    if ((info.flag & 1) != 0) return false;  // encrypted
    if (info.uncompressed_size > kZipMemberLimit) return false;
    if (written_ + info.uncompressed_size > totalLimit_) return false;
    if (!Inflate(info, member.data)) return false;
    if (memory_ != nullptr) member.crc = info.crc;
    written_ += member.data.size();
    return true;
  }

  // A prepared member's folder made, or its file written. Several threads may place members at
  // once, the members of one target on the same thread.
  bool Place(const PreparedMember& member) {
    if (member.folder) return MakeFolderOnce(member.target);
    if (member.crc && Crc(member.data) != *member.crc) return false;
    Text elsewhere;
    if (redirect_.target) {
      std::lock_guard<std::mutex> lock(shared_);
      elsewhere = redirect_.target(member.parts);
    }
    if (!elsewhere.empty() && MakeFolderOnce(ParentOf(elsewhere)) && WriteNewFileBytes(elsewhere, member.data)) {
      if (redirect_.written) {
        std::lock_guard<std::mutex> lock(shared_);
        redirect_.written(elsewhere);
      }
      return true;
    }
    const std::size_t slash = SeparatorPositions(member.target).back();
    if (!MakeFolderOnce(member.target.substr(0, slash))) return false;
    // Beside the former file and renamed over it: a running program's file is replaced too,
    // and a member that fails to write leaves the former file whole.
    return ReplaceFileBytes(member.target, member.data);
  }

 private:
  // The member's bytes. The stream is inflated here, not by minizip, so that nothing of the
  // header is trusted: inflating stops as soon as the output passes the header's size or a
  // limit, and the result must match the header's size and CRC exactly.
  bool Inflate(const unz_file_info64& info, Bytes& data) {
    const bool deflated = info.compression_method == Z_DEFLATED;
    if (!deflated && info.compression_method != 0) return false;
    int method = 0, level = 0;
    if (unzOpenCurrentFile2(unz_, &method, &level, 1) != UNZ_OK) return false;
    const std::uint64_t most =
        std::min<std::uint64_t>({info.uncompressed_size, kZipMemberLimit, totalLimit_ - written_});
    if (memory_ != nullptr) {
      const bool ok = InflateHeld(deflated, info, most, data);
      unzCloseCurrentFile(unz_);
      return ok && data.size() == info.uncompressed_size;  // the CRC is checked when it is placed
    }
    data.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(most, 16u << 20)));

    z_stream z{};
    if (deflated && inflateInit2(&z, -MAX_WBITS) != Z_OK) {
      unzCloseCurrentFile(unz_);
      return false;
    }
    std::vector<std::uint8_t>& in = in_;
    std::vector<std::uint8_t>& out = out_;
    bool ok = true, ended = !deflated;
    for (;;) {
      const int n = unzReadCurrentFile(unz_, in.data(), static_cast<unsigned>(in.size()));
      if (n < 0) {
        ok = false;
        break;
      }
      if (n == 0) break;
      if (!deflated) {
        ok = data.size() + static_cast<std::size_t>(n) <= most;
        if (!ok) break;
        data.insert(data.end(), in.data(), in.data() + n);
        continue;
      }
      if (ended) break;  // bytes after the end of the stream are not read
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(n);
      while (ok && z.avail_in > 0 && !ended) {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        const int r = inflate(&z, Z_NO_FLUSH);
        const std::size_t made = out.size() - z.avail_out;
        if (r == Z_STREAM_END) {
          ended = true;
        } else if (r != Z_OK) {
          ok = false;  // damaged stream (Z_BUF_ERROR cannot come with input and output room)
        }
        if (data.size() + made > most) ok = false;  // more than the header said or a limit allows
        if (ok) data.insert(data.end(), out.data(), out.data() + made);
      }
      if (!ok) break;
    }
    if (deflated) inflateEnd(&z);
    unzCloseCurrentFile(unz_);  // its CRC check does not apply to raw reads
    return ok && ended && data.size() == info.uncompressed_size && Crc(data) == info.crc;
  }

  static uLong Crc(const Bytes& data) {
    uLong crc = crc32(0L, Z_NULL, 0);
    for (std::size_t done = 0; done < data.size(); done += 1u << 30) {
      crc = crc32(crc, data.data() + done, static_cast<uInt>(std::min<std::size_t>(1u << 30, data.size() - done)));
    }
    return crc;
  }

  // The same for an archive held in memory: the member's stream is taken where it lies and
  // inflated straight into data, with the same limits, rather than copied through minizip's
  // buffers twice. Size and CRC are the caller's to check.
  bool InflateHeld(bool deflated, const unz_file_info64& info, std::uint64_t most, Bytes& data) {
    const std::uint64_t at = unzGetCurrentFileZStreamPos64(unz_);
    if (at > memory_->size || info.compressed_size > memory_->size - at) return false;
    if (!memory_->Ready(at, at + info.compressed_size)) return false;
    const std::uint8_t* next = memory_->data + at;
    std::uint64_t left = info.compressed_size;
    if (!deflated) {
      if (left > most) return false;
      data.assign(next, next + left);
      return true;
    }
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    // One byte more than may come, so a stream that goes on is seen; grown as the output comes.
    std::uint64_t room = std::min<std::uint64_t>(most, 16u << 20) + 1;
    data.resize(static_cast<std::size_t>(room));
    std::uint64_t made = 0;
    bool ok = true, ended = false;
    for (;;) {
      if (z.avail_in == 0 && left > 0) {
        const std::uint64_t n = std::min<std::uint64_t>(left, 1u << 30);
        z.next_in = const_cast<Bytef*>(next);
        z.avail_in = static_cast<uInt>(n);
        next += n;
        left -= n;
      }
      if (made == room) {
        if (room > most) {
          ok = false;  // more than the header said or a limit allows
          break;
        }
        room = std::min(2 * room, most + 1);
        data.resize(static_cast<std::size_t>(room));
      }
      z.next_out = data.data() + made;
      z.avail_out = static_cast<uInt>(room - made);
      const int r = inflate(&z, Z_NO_FLUSH);
      made = room - z.avail_out;
      if (r == Z_STREAM_END) {
        ended = true;
        break;
      }
      if ((r != Z_OK && r != Z_BUF_ERROR) || (z.avail_in == 0 && left == 0 && made < room)) {
        ok = false;  // damaged, or the input ended before the stream
        break;
      }
    }
    inflateEnd(&z);
    data.resize(static_cast<std::size_t>(made));
    return ok && ended && made <= most;
  }

  // Members mostly share a few folders: each is made (or found) once per extraction.
  bool MakeFolderOnce(const Text& folder) {
    std::lock_guard<std::mutex> lock(shared_);
    if (madeFolders_.count(folder) != 0) return true;
    if (!MakeDirectories(folder)) return false;
    madeFolders_.insert(folder);
    return true;
  }

  static Text ParentOf(const Text& path) {
    const std::vector<std::size_t> seps = SeparatorPositions(path);
    return seps.empty() ? Text() : path.substr(0, seps.back());
  }

  unzFile unz_;
  const MemoryArchive* memory_;
  Text destination_;
  std::uint64_t totalLimit_;
  const ZipRedirect& redirect_;
  std::vector<char> name_ = std::vector<char>(kZipNameLimit + 1);
  std::uint64_t written_ = 0;  // bytes of the members prepared so far
  std::unordered_set<Text> madeFolders_;
  std::mutex shared_;  // the folders made and the redirect's calls, for placing threads
  std::vector<std::uint8_t> in_ = std::vector<std::uint8_t>(1u << 16);   // read from the archive
  std::vector<std::uint8_t> out_ = std::vector<std::uint8_t>(1u << 16);  // inflated
};

// An archive of no members is its end record alone, which minizip cannot open.
bool IsEmptyArchive(const std::uint8_t* bytes, std::size_t size) {
  if (size < 22 || size > 22 + 0xFFFF) return false;
  const std::size_t comment = bytes[20] | bytes[21] << 8;
  return bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == 5 && bytes[3] == 6 && bytes[8] == 0 &&
         bytes[9] == 0 && bytes[10] == 0 && bytes[11] == 0 && comment == size - 22;
}

bool IsEmptyArchive(const Text& archive) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(NativePath(archive), ec);
  if (ec || size < 22 || size > 22 + 0xFFFF) return false;
  const Bytes bytes = ReadFileBytes(archive);
  return IsEmptyArchive(bytes.data(), bytes.size());
}

// Every member of the open archive (of archiveSize bytes) below folder, which exists.
// Prepares the members of an archive held in memory on a thread of its own, in archive order,
// ahead of those that write them, so inflating and checking overlap the writing. A bounded
// number of members waits at a time.
class MemberPipeline {
 public:
  struct Slot {
    bool ok = false;  // false: the member failed, and the walk stopped at it
    PreparedMember member;
  };

  MemberPipeline(const MemoryArchive& memory, const Text& folder, std::uint64_t limit, std::uint64_t total)
      : memory_(memory), folder_(folder), limit_(limit), total_(total) {}
  ~MemberPipeline() { Stop(); }
  MemberPipeline(const MemberPipeline&) = delete;
  MemberPipeline& operator=(const MemberPipeline&) = delete;

  bool Start() {
    try {
      thread_ = std::thread([this] { Run(); });
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }

  // The next member in archive order; false when the walk is over.
  bool Next(Slot& slot) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !slots_.empty() || finished_; });
    if (slots_.empty()) return false;
    slot = std::move(slots_.front());
    slots_.pop_front();
    held_ -= slot.member.data.size();
    lock.unlock();
    room_.notify_one();
    return true;
  }

  // Ends the walk; whether it had reached the end of the member list.
  bool Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    room_.notify_all();
    if (thread_.joinable()) thread_.join();
    return walkEnded_;
  }

 private:
  static constexpr std::size_t kMostSlots = 64;
  static constexpr std::size_t kMostHeld = 32u << 20;

  void Run() {
    MemoryArchive own{memory_.data, memory_.size, 0, memory_.ready};
    ZipReader walker(own);
    const ZipRedirect none;
    Extraction preparer(walker.get(), &own, folder_, limit_, none);
    int walk = walker.get() == nullptr ? UNZ_ERRNO
               : total_ == 0           ? UNZ_END_OF_LIST_OF_FILE
                                       : unzGoToFirstFile(walker.get());
    while (walk == UNZ_OK) {
      Slot slot;
      slot.ok = preparer.Prepare(slot.member);
      const bool ok = slot.ok;
      const std::size_t bytes = slot.member.data.size();
      {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [&] {
          return stop_ || slots_.empty() || (slots_.size() < kMostSlots && held_ + bytes <= kMostHeld);
        });
        if (stop_) break;
        held_ += bytes;
        slots_.push_back(std::move(slot));
      }
      ready_.notify_one();
      if (!ok) break;
      walk = unzGoToNextFile(walker.get());
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
      walkEnded_ = walk == UNZ_END_OF_LIST_OF_FILE;
    }
    ready_.notify_one();
  }

  const MemoryArchive& memory_;
  const Text folder_;
  const std::uint64_t limit_;
  const std::uint64_t total_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::deque<Slot> slots_;
  std::size_t held_ = 0;  // bytes of the waiting members
  bool stop_ = false, finished_ = false, walkEnded_ = false;
};

// Places prepared members on a few threads of its own: writing thousands of small files is
// mostly the kernel creating them, which goes on side by side. Members of one target go to one
// thread in archive order, so a later member of a name still lands after an earlier one. The
// caller hands members over and hears how many are placed; at most kMostHeld bytes wait.
class MemberWriters {
 public:
  explicit MemberWriters(Extraction& extraction) : extraction_(extraction) {}
  ~MemberWriters() { Finish(true); }
  MemberWriters(const MemberWriters&) = delete;
  MemberWriters& operator=(const MemberWriters&) = delete;

  // One thread per core, up to kMostThreads; false when no thread could be had (none is left
  // running then).
  bool Start() {
    const unsigned cores = std::thread::hardware_concurrency();
    const std::size_t wanted = std::clamp<std::size_t>(cores, 1, kMostThreads);
    lanes_ = std::vector<Lane>(wanted);
    try {
      for (std::size_t k = 0; k < wanted; ++k) threads_.emplace_back([this, k] { Run(lanes_[k]); });
    } catch (const std::system_error&) {
      Finish(true);
      return false;
    }
    return true;
  }

  // Hands a member over, waiting while too much waits; false once a member failed.
  bool Add(PreparedMember member) {
    Lane& lane = lanes_[std::hash<Text>{}(member.target) % lanes_.size()];
    const std::size_t bytes = member.data.size();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return Failed(lock) || held_ == 0 || held_ + bytes <= kMostHeld; });
    if (Failed(lock)) return false;
    held_ += bytes;
    lane.waiting.push_back({handed_++, std::move(member)});
    lane.wake.notify_one();
    return true;
  }

  // How many are placed, once more than seen are or none is left to wait for.
  std::uint64_t WaitPlaced(std::uint64_t seen) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return Failed(lock) || placed_ > seen || placed_ == handed_; });
    return placed_;
  }

  std::uint64_t Placed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return placed_;
  }

  bool Failed() {
    std::unique_lock<std::mutex> lock(mutex_);
    return Failed(lock);
  }

  // Ends the threads, after the waiting members or, with drop, without them; whether every
  // member handed over was placed. After a member failed, those before it are still placed.
  bool Finish(bool drop) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ending_ = true;
      if (drop) {
        for (Lane& lane : lanes_) lane.waiting.clear();
      }
      for (Lane& lane : lanes_) lane.wake.notify_one();
    }
    for (std::thread& thread : threads_) {
      if (thread.joinable()) thread.join();
    }
    threads_.clear();
    std::unique_lock<std::mutex> lock(mutex_);
    return !Failed(lock) && placed_ == handed_;
  }

 private:
  static constexpr std::size_t kMostThreads = 4;
  static constexpr std::size_t kMostHeld = 32u << 20;

  struct Numbered {
    std::uint64_t index;  // in archive order
    PreparedMember member;
  };
  struct Lane {
    std::deque<Numbered> waiting;
    std::condition_variable wake;
  };
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};

  bool Failed(const std::unique_lock<std::mutex>&) const { return firstFailed_ != kNone; }

  void Run(Lane& lane) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      lane.wake.wait(lock, [&] { return ending_ || Failed(lock) || !lane.waiting.empty(); });
      // A lane holds its members in archive order: none after a failed one is placed.
      if (lane.waiting.empty() || lane.waiting.front().index > firstFailed_) {
        for (const Numbered& left : lane.waiting) held_ -= left.member.data.size();
        lane.waiting.clear();
        changed_.notify_all();
        if (ending_ || Failed(lock)) return;
        continue;
      }
      Numbered next = std::move(lane.waiting.front());
      lane.waiting.pop_front();
      lock.unlock();
      const bool ok = extraction_.Place(next.member);
      const std::size_t bytes = next.member.data.size();
      next.member = PreparedMember();
      lock.lock();
      held_ -= bytes;
      if (ok) {
        ++placed_;
      } else {
        firstFailed_ = std::min(firstFailed_, next.index);
        for (Lane& other : lanes_) other.wake.notify_one();
      }
      changed_.notify_all();
    }
  }

  Extraction& extraction_;
  std::vector<Lane> lanes_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable changed_;  // placed, failed or room made
  std::uint64_t handed_ = 0, placed_ = 0;
  std::uint64_t firstFailed_ = kNone;  // index of the first member in archive order that failed
  std::size_t held_ = 0;  // bytes handed over and not yet placed
  bool ending_ = false;
};

int ExtractAll(unzFile unz, std::uint64_t archiveSize, const Text& folder, const ZipProgress& progress,
               const MemoryArchive* memory = nullptr, const ZipRedirect& redirect = {}) {
  unz_global_info64 global;
  if (unz == nullptr || unzGetGlobalInfo64(unz, &global) != UNZ_OK) return kZipExtractFailed;

  const std::uint64_t byRatio =
      std::max(kZipRatioAllowance, std::min<std::uint64_t>(archiveSize, kZipTotalLimit) * kZipRatioLimit);
  Extraction extraction(unz, memory, folder, std::min(kZipTotalLimit, byRatio), redirect);

  const std::uint64_t total = global.number_entry;
  const auto told = [&](std::uint64_t done) {
    return !progress || progress(static_cast<int>(std::min<std::uint64_t>(done * 100 / std::max(total, done), 99)));
  };
  std::uint64_t done = 0;
  bool ok = true;
  std::optional<MemberPipeline> pipeline;
  MemberWriters writers(extraction);
  if (memory != nullptr) {
    pipeline.emplace(*memory, folder, std::min(kZipTotalLimit, byRatio), total);
    // No thread to be had: one walk below.
    if (!pipeline->Start()) {
      pipeline.reset();
    } else if (!writers.Start()) {
      pipeline->Stop();
      pipeline.reset();
    }
  }
  if (pipeline) {
    MemberPipeline::Slot slot;
    std::uint64_t handed = 0;
    // Progress follows the members placed, in whatever order the threads place them.
    const auto tellPlaced = [&](std::uint64_t placed) {
      for (; done < placed; ++done) {
        if (!told(done + 1)) return false;
      }
      return true;
    };
    while (ok && pipeline->Next(slot)) {
      ok = slot.ok && writers.Add(std::move(slot.member));
      if (!ok) break;
      ++handed;
      if (!tellPlaced(writers.Placed())) return kZipExtractFailed;
    }
    const bool walked = pipeline->Stop() && handed == total;
    // What was handed over is placed, also when a later member failed to inflate; after a
    // member failed to be placed, those before it.
    while (done < handed && !writers.Failed()) {
      if (!tellPlaced(writers.WaitPlaced(done))) return kZipExtractFailed;
    }
    ok = writers.Finish(false) && ok && walked;
    if (!tellPlaced(writers.Placed())) return kZipExtractFailed;
    if (progress) progress(100);
    return ok ? kZipExtractDone : kZipExtractFailed;
  }
  int walk = total == 0 ? UNZ_END_OF_LIST_OF_FILE : unzGoToFirstFile(unz);
  while (ok && walk == UNZ_OK) {
    ok = extraction.ExtractCurrent();
    if (!ok) break;
    if (!told(++done)) return kZipExtractFailed;
    walk = unzGoToNextFile(unz);
  }
  // A walk that ends early, or a directory that counts other than it holds, is a damaged archive.
  if (ok && (walk != UNZ_END_OF_LIST_OF_FILE || done != total)) ok = false;
  if (progress) progress(100);
  return ok ? kZipExtractDone : kZipExtractFailed;
}

}  // namespace

bool ZipCompress(const Text& source, const Text& archive, const ZipProgress& progress) {
  if (source.empty() || archive.empty()) return false;
  const std::string sourceNative = NativePath(WithoutTrailingSeparators(source));
  const std::string archiveNative = NativePath(archive);
  std::error_code ec;
  std::vector<Member> members;
  if (fs::is_directory(sourceNative, ec)) {
    if (!CollectMembers(sourceNative, Text(), members)) return false;
  } else if (fs::is_regular_file(sourceNative, ec)) {
    Text name;
    if (!GbkName(fs::path(sourceNative).filename().string(), name)) return false;
    members.push_back({name, sourceNative, false});
  } else {
    return false;
  }
  // An archive written into the folder it packs does not pack itself.
  const fs::path archivePath = fs::weakly_canonical(archiveNative, ec);
  std::erase_if(members, [&](const Member& m) {
    std::error_code e;
    return !m.folder && fs::weakly_canonical(m.native, e) == archivePath;
  });

  bool ok = true;
  {
    ZipWriter zip(archiveNative);
    if (zip.get() == nullptr) return false;
    const std::size_t total = members.size();
    for (std::size_t done = 0; ok && done < total; ++done) {
      ok = AddMember(zip.get(), members[done]);
      if (ok && progress) ok = progress(static_cast<int>((done + 1) * 100 / total));
    }
    if (ok && total == 0 && progress) ok = progress(100);
    ok = zip.Close() && ok;
  }
  if (!ok) RemoveFile(archive);
  return ok;
}

int ZipExtract(const Text& archive, const Text& destination, const ZipProgress& progress) {
  std::error_code ec;
  const std::string archiveNative = NativePath(archive);
  if (archive.empty() || !fs::is_regular_file(archiveNative, ec)) return kZipExtractMissing;
  const Text folder = WithoutTrailingSeparators(destination);
  if (folder.empty() || !MakeDirectories(folder)) return kZipExtractFailed;

  ZipReader unz(archiveNative);
  if (unz.get() == nullptr && IsEmptyArchive(archive)) {
    if (progress) progress(100);
    return kZipExtractDone;
  }
  const std::uint64_t archiveSize = fs::file_size(archiveNative, ec);
  return ExtractAll(unz.get(), ec ? 0 : archiveSize, folder, progress);
}

int ZipExtractBytes(const std::uint8_t* data, std::size_t size, const Text& destination,
                    const ZipProgress& progress, const ZipRedirect& redirect, const ZipBytesReady& ready) {
  const Text folder = WithoutTrailingSeparators(destination);
  if (folder.empty() || !MakeDirectories(folder)) return kZipExtractFailed;
  MemoryArchive memory{data, size, 0, ready ? &ready : nullptr};
  ZipReader unz(memory);
  if (unz.get() == nullptr && size <= 22 + 0xFFFF && memory.Ready(0, size) && IsEmptyArchive(data, size)) {
    if (progress) progress(100);
    return kZipExtractDone;
  }
  return ExtractAll(unz.get(), size, folder, progress, &memory, redirect);
}
