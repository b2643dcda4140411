#pragma once
// Read-only access to a zip package through libzip. Entries are only ever read
// into memory, never extracted to disk, so an entry name ("../x", "/etc/x") is
// a key and nothing more. What a whole read may cost is bounded: the header's
// claims are checked before reading and the bytes actually inflated while
// reading, so a damaged or hostile package cannot exhaust memory.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct zip;

namespace kl::buildings {

struct ZipEntry {
  std::string name;
  std::uint64_t size = 0;            // uncompressed, as the directory claims
  std::uint64_t compressedSize = 0;  // as the directory claims
  bool directory = false;            // name ends in "/" or the DOS directory attribute
};

struct ReadLimits {
  std::uint64_t maxBytes = 256ull * 1024 * 1024;
  // Inflating more than this many bytes per stored byte is a bomb, not XML.
  std::uint64_t maxRatio = 200;
  // Entries up to this size are never refused for their ratio (a sheet of
  // blank padding compresses very well and harms no one).
  std::uint64_t ratioFreeBytes = 1024 * 1024;
};

// The bytes of an entry, or why it was refused (Polish, without the name).
struct EntryBytes {
  std::optional<std::string> bytes;
  std::string refusal;
};

class ZipReader {
 public:
  // Empty when the file is not a readable zip archive.
  static std::unique_ptr<ZipReader> open(const std::string& path);
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  std::int64_t entryCount() const;
  // Nothing when the entry's statistics cannot be read.
  std::optional<ZipEntry> entry(std::int64_t index) const;
  std::int64_t indexOf(const std::string& name) const;  // -1 when missing

  // At most the first maxBytes of the entry (fewer when it is shorter);
  // refused when the bytes before that cannot be inflated.
  EntryBytes readPrefix(std::int64_t index, std::size_t maxBytes) const;
  // The whole entry within the limits.
  EntryBytes readWhole(std::int64_t index, const ReadLimits& limits) const;

 private:
  explicit ZipReader(zip* archive) : archive_(archive) {}
  zip* archive_;
};

}  // namespace kl::buildings
