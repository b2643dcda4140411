#include "buildings/zip_reader.h"

#include <zip.h>

#include <algorithm>
#include <vector>

#include "net/url_text.h"

namespace kl::buildings {
namespace {

constexpr std::uint8_t kDosDirectory = 0x10;

struct EntryFile {
  zip_file_t* file;
  ~EntryFile() {
    if (file) zip_fclose(file);
  }
};

// Reads up to limit bytes, plus one more when there are more, so the caller
// can tell a whole entry from a cut one. False on an inflate or CRC error.
bool readUpTo(zip* archive, std::int64_t index, std::uint64_t limit, std::string& out) {
  EntryFile f{zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0)};
  if (!f.file) return false;
  std::vector<char> chunk(64 * 1024);
  while (out.size() <= limit) {
    const std::uint64_t wanted = std::min<std::uint64_t>(chunk.size(), limit + 1 - out.size());
    const zip_int64_t got = zip_fread(f.file, chunk.data(), wanted);
    if (got < 0) return false;
    if (got == 0) break;
    out.append(chunk.data(), static_cast<std::size_t>(got));
  }
  return true;
}

}  // namespace

std::unique_ptr<ZipReader> ZipReader::open(const std::string& path) {
  int error = 0;
  zip* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!archive) return nullptr;
  return std::unique_ptr<ZipReader>(new ZipReader(archive));
}

ZipReader::~ZipReader() { zip_discard(archive_); }

std::int64_t ZipReader::entryCount() const { return zip_get_num_entries(archive_, 0); }

std::optional<ZipEntry> ZipReader::entry(std::int64_t index) const {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
    return std::nullopt;
  ZipEntry e;
  e.name = st.name;
  e.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
  e.compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  const bool dosDirectory =
      zip_file_get_external_attributes(archive_, static_cast<zip_uint64_t>(index), 0, &system, &attributes) == 0 &&
      system == ZIP_OPSYS_DOS && (attributes & kDosDirectory) != 0;
  e.directory = (!e.name.empty() && e.name.back() == '/') || dosDirectory;
  return e;
}

std::int64_t ZipReader::indexOf(const std::string& name) const {
  return zip_name_locate(archive_, name.c_str(), 0);  // names as entry() gives them
}

EntryBytes ZipReader::readPrefix(std::int64_t index, std::size_t maxBytes) const {
  std::string out;
  if (maxBytes > 0 && !readUpTo(archive_, index, maxBytes - 1, out)) return {std::nullopt, "blad dekompresji"};
  return {std::move(out), {}};
}

EntryBytes ZipReader::readWhole(std::int64_t index, const ReadLimits& limits) const {
  const std::optional<ZipEntry> e = entry(index);
  if (!e) return {std::nullopt, "nieczytelny wpis archiwum"};
  const std::string cap = net::formatSize(static_cast<std::int64_t>(limits.maxBytes));
  if (e->size > limits.maxBytes)
    return {std::nullopt, "deklarowany rozmiar " + net::formatSize(static_cast<std::int64_t>(e->size)) +
                              " przekracza limit " + cap};
  if (e->size > limits.ratioFreeBytes && e->size / std::max<std::uint64_t>(e->compressedSize, 1) > limits.maxRatio)
    return {std::nullopt, "nieprawdopodobny stopien kompresji (mozliwa bomba zip)"};
  std::string out;
  out.reserve(static_cast<std::size_t>(e->size));
  if (!readUpTo(archive_, index, limits.maxBytes, out)) return {std::nullopt, "blad dekompresji"};
  if (out.size() > limits.maxBytes) return {std::nullopt, "po rozpakowaniu przekracza limit " + cap};
  return {std::move(out), {}};
}

}  // namespace kl::buildings
