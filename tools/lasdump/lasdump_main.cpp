// kartolink-lasdump: header summary, records list and raw points of a LAS/LAZ file, or LAS -> LAZ.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "cloud/las/las_conversion.h"
#include "cloud/las/las_reader.h"
#include "cloud/las/unique_temp.h"
#include "tools/cli/command_line.h"

namespace {

std::string number(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  return std::string(buf, r.ptr);
}

std::string triple(const std::array<double, 3>& v) { return number(v[0]) + " " + number(v[1]) + " " + number(v[2]); }

constexpr const char* kUsage =
    "uzycie: kartolink-lasdump PLIK [--out RAW] [--threads N]\n"
    "        kartolink-lasdump --write-laz WEJSCIE WYJSCIE\n"
    "  Wypisuje naglowek i rekordy VLR pliku LAS/LAZ; --out zapisuje surowe rekordy punktow,\n"
    "  --write-laz przepisuje plik do LAZ, --threads 1..64 watkow dekodowania.\n";

int usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int outputRefused(const std::string& path) {
  const std::string problem = kl::tools::outputPathProblem(path);
  if (problem.empty()) return 0;
  std::fprintf(stderr, "%s\n", problem.c_str());
  return 1;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return 1;
}

int writeLaz(const std::string& in, const std::string& out) {
  if (kl::las::LasStatus st = kl::las::convertLasFile(in, out, {}, 2); !st) return fail(st.message);
  return 0;
}

int dump(const std::string& path, const std::string& rawPath, unsigned threads) {
  kl::las::LasReader reader;
  if (kl::las::LasStatus st = reader.open(path, threads); !st) return fail(st.message);
  const kl::las::LasHeader& h = reader.header();
  std::printf("version: %u.%u\n", h.versionMajor, h.versionMinor);
  std::printf("point format: %u\n", h.pointFormat);
  std::printf("record length: %u\n", h.recordLength);
  std::printf("point count: %llu\n", static_cast<unsigned long long>(h.pointCount));
  std::printf("scale: %s\n", triple(h.scale).c_str());
  std::printf("offset: %s\n", triple(h.offset).c_str());
  std::printf("min: %s\n", triple(h.min).c_str());
  std::printf("max: %s\n", triple(h.max).c_str());
  std::printf("compressed: %s\n", h.compressed ? "yes" : "no");
  for (const kl::las::LasVlr& v : h.vlrs) {
    std::printf("%s: %s %u %llu B \"%s\"\n", v.extended ? "evlr" : "vlr", v.userId.c_str(), v.recordId,
                static_cast<unsigned long long>(v.payloadLength()), v.description.c_str());
  }
  if (rawPath.empty()) return 0;
  std::string temp;
  std::FILE* out = kl::las::createUniqueTemp(rawPath, temp);
  if (out == nullptr) return fail("Plik " + rawPath + ": nie mozna utworzyc pliku");
  uint64_t total = 0;
  for (;;) {
    const uint8_t* records = nullptr;
    uint64_t count = 0;
    kl::las::LasStatus st = reader.next(&records, &count);
    const size_t bytes = static_cast<size_t>(count * h.recordLength);
    if (st && count > 0 && std::fwrite(records, 1, bytes, out) != bytes) {
      st = kl::las::LasStatus::failure("Plik " + rawPath + ": blad zapisu");
    }
    if (!st || count == 0) {
      const bool closed = std::fclose(out) == 0;
      if (st && closed && std::rename(temp.c_str(), rawPath.c_str()) == 0) break;
      std::remove(temp.c_str());
      return fail(st ? "Plik " + rawPath + ": blad zapisu" : st.message);
    }
    total += count;
  }
  std::printf("records written: %llu\n", static_cast<unsigned long long>(total));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && kl::tools::isHelpFlag(args[0])) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.size() == 3 && args[0] == "--write-laz") {
    if (const int refused = outputRefused(args[2])) return refused;
    return writeLaz(args[1], args[2]);
  }
  std::string path, raw;
  unsigned threads = 1;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--out" && i + 1 < args.size()) {
      raw = args[++i];
    } else if (args[i] == "--threads" && i + 1 < args.size()) {
      const std::string& t = args[++i];
      const auto r = std::from_chars(t.data(), t.data() + t.size(), threads);
      if (r.ec != std::errc() || threads == 0 || threads > 64) return usage();
    } else if (path.empty() && args[i].rfind("--", 0) != 0) {
      path = args[i];
    } else {
      return usage();
    }
  }
  if (path.empty()) return usage();
  if (!raw.empty())
    if (const int refused = outputRefused(raw)) return refused;
  return dump(path, raw, threads);
}
