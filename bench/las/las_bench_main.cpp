// Speed figures of the LAS/LAZ codec, run side by side with laz-perf by run_las_bench.sh.
//   kl_las_bench make SAMPLE OUT.laz POINTS   sample repeated and shifted, written with our writer
//   kl_las_bench decode FILE THREADS ROUNDS   median points/s, 1 thread against THREADS
//   kl_las_bench encode FILE ROUNDS           best points/s writing the file's records as LAZ
#include <algorithm>
#include <chrono>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "cloud/las/las_bytes.h"
#include "cloud/las/las_reader.h"
#include "cloud/las/las_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
using kl::las::LasStatus;

unsigned long long parse(const char* s) {
  unsigned long long v = 0;
  std::from_chars(s, s + std::strlen(s), v);
  return v;
}

int fail(const std::string& m) {
  std::fprintf(stderr, "%s\n", m.c_str());
  return 1;
}

std::string rate(double pointsPerSecond) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, pointsPerSecond, std::chars_format::fixed, 0);
  return std::string(buf, r.ptr);
}

int make(const std::string& samplePath, const std::string& out, unsigned long long points) {
  kl::las::LasReader reader;
  std::vector<uint8_t> records;
  if (LasStatus st = reader.open(samplePath); !st) return fail(st.message);
  if (LasStatus st = reader.readAll(&records); !st) return fail(st.message);
  const kl::las::LasHeader& h = reader.header();
  const size_t rl = h.recordLength;
  const uint64_t n = h.pointCount;
  if (n == 0) return fail("pusta probka");
  int32_t lo = INT32_MAX, hi = INT32_MIN;
  for (uint64_t i = 0; i < n; ++i) {
    const int32_t x = kl::las::loadLe<int32_t>(records.data() + i * rl);
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  const int64_t shift = static_cast<int64_t>(hi) - lo + 1;
  const size_t gpsAt = kl::las::formatIsExtended(h.pointFormat) ? 22 : 20;
  const bool hasGps = kl::las::formatHasGpsTime(h.pointFormat);
  kl::las::LasWriter writer;
  if (LasStatus st = writer.open(out, h); !st) return fail(st.message);
  std::vector<uint8_t> copy(records.size());
  for (unsigned long long done = 0, round = 0; done < points; ++round) {
    copy = records;
    for (uint64_t i = 0; i < n; ++i) {
      uint8_t* p = copy.data() + i * rl;
      const int64_t x = kl::las::loadLe<int32_t>(p) + shift * static_cast<int64_t>(round % 40);
      kl::las::storeLe<int32_t>(p, static_cast<int32_t>(x));
      kl::las::storeLe<int32_t>(p + 4, kl::las::loadLe<int32_t>(p + 4) + static_cast<int32_t>(round / 40) * 1000);
      if (hasGps) {
        double t = kl::las::loadLe<double>(p + gpsAt);
        t += 3600.0 * static_cast<double>(round);
        kl::las::storeLe<double>(p + gpsAt, t);
      }
    }
    const uint64_t take = std::min<uint64_t>(n, points - done);
    if (LasStatus st = writer.write(copy.data(), take); !st) return fail(st.message);
    done += take;
  }
  if (LasStatus st = writer.close(); !st) return fail(st.message);
  return 0;
}

struct DecodeRun {
  uint64_t points = 0;
  double seconds = 0;
  double cpuSeconds = 0;
  int64_t checksum = 0;
};

bool decodeOnce(const std::string& path, unsigned threads, DecodeRun* run) {
  const auto start = Clock::now();
  const double cpuStart = kl::bench::cpuSeconds();
  kl::las::LasReader reader;
  if (LasStatus st = reader.open(path, threads); !st) return fail(st.message) == 0;
  const size_t rl = reader.header().recordLength;
  *run = {};
  for (;;) {
    const uint8_t* p = nullptr;
    uint64_t n = 0;
    if (LasStatus st = reader.next(&p, &n); !st) return fail(st.message) == 0;
    if (n == 0) break;
    run->checksum += kl::las::loadLe<int32_t>(p + (n - 1) * rl);
    run->points += n;
  }
  run->seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run->cpuSeconds = kl::bench::cpuSeconds() - cpuStart;
  return true;
}

using kl::bench::median;

// One thread and `threads` threads alternate round by round, so that a shared machine's
// changing speed affects both alike; the figures are medians over the rounds.
int decode(const std::string& path, unsigned threads, unsigned rounds) {
  std::vector<double> one, many, oneCpu, ratio;
  DecodeRun a, b;
  for (unsigned r = 0; r < rounds; ++r) {
    if (!decodeOnce(path, 1, &a)) return 1;
    one.push_back(static_cast<double>(a.points) / a.seconds);
    oneCpu.push_back(static_cast<double>(a.points) / a.cpuSeconds);
    if (threads > 1) {
      if (!decodeOnce(path, threads, &b)) return 1;
      if (b.checksum != a.checksum) return fail("rozne wyniki dekodowania przy " + std::to_string(threads) + " watkach");
      many.push_back(static_cast<double>(b.points) / b.seconds);
      ratio.push_back(many.back() / one.back());
    }
  }
  std::printf("{\"points\":%llu,\"pointsPerSecond\":%s,\"pointsPerCpuSecond\":%s",
              static_cast<unsigned long long>(a.points), rate(median(one)).c_str(), rate(median(oneCpu)).c_str());
  if (threads > 1) {
    char buf[16];
    const auto end = std::to_chars(buf, buf + sizeof buf, median(ratio), std::chars_format::fixed, 3).ptr;
    std::printf(",\"threads\":%u,\"threadsPointsPerSecond\":%s,\"threadsRatio\":%s", threads,
                rate(median(many)).c_str(), std::string(buf, end).c_str());
  }
  std::printf(",\"checksum\":%lld}\n", static_cast<long long>(a.checksum));
  return 0;
}

int encode(const std::string& path, unsigned rounds) {
  kl::las::LasReader reader;
  std::vector<uint8_t> records;
  if (LasStatus st = reader.open(path, 2); !st) return fail(st.message);
  if (LasStatus st = reader.readAll(&records); !st) return fail(st.message);
  const kl::las::LasHeader& h = reader.header();
  const std::string out = path + ".bench-encode.laz";
  double best = 0;
  for (unsigned r = 0; r < rounds; ++r) {
    const auto start = Clock::now();
    if (LasStatus st = kl::las::writeLasFile(out, h, records.data(), h.pointCount); !st) return fail(st.message);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    best = std::max(best, static_cast<double>(h.pointCount) / seconds);
  }
  std::remove(out.c_str());
  std::printf("{\"points\":%llu,\"pointsPerSecond\":%s}\n", static_cast<unsigned long long>(h.pointCount),
              rate(best).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() == 4 && a[0] == "make") return make(a[1], a[2], parse(argv[4]));
  if (a.size() == 4 && a[0] == "decode") {
    return decode(a[1], static_cast<unsigned>(parse(argv[3])), static_cast<unsigned>(parse(argv[4])));
  }
  if (a.size() == 3 && a[0] == "encode") return encode(a[1], static_cast<unsigned>(parse(argv[3])));
  std::fputs("uzycie: kl_las_bench make PROBKA WYJSCIE.laz PUNKTY | decode PLIK WATKI RUNDY | encode PLIK RUNDY\n",
             stderr);
  return 2;
}
