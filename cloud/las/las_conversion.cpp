#include "cloud/las/las_conversion.h"

#include <algorithm>

#include "cloud/las/las_file.h"
#include "cloud/las/las_reader.h"

namespace kl::las {

LasStatus convertLasFile(const std::string& inputPath, const std::string& outputPath, LasWriteOptions options,
                         unsigned threads) {
  LasReader reader;
  if (LasStatus st = reader.open(inputPath, threads); !st) return st;
  const std::vector<LasVlr>& records = reader.header().vlrs;
  LasFile source;
  if (std::any_of(records.begin(), records.end(), [](const LasVlr& v) { return v.locatedLength != 0; })) {
    if (!source.open(inputPath)) return LasStatus::failure("Plik " + inputPath + ": nie mozna otworzyc pliku");
    options.payloadSource = [&source](uint64_t offset, size_t size, void* dst) {
      return source.readAt(offset, size, dst);
    };
  }
  // An unfinished writer removes its temporary file, so returning early leaves no output.
  LasWriter writer;
  if (LasStatus st = writer.open(outputPath, reader.header(), options); !st) return st;
  for (;;) {
    const uint8_t* batch = nullptr;
    uint64_t count = 0;
    if (LasStatus st = reader.next(&batch, &count); !st) return st;
    if (count == 0) break;
    if (LasStatus st = writer.write(batch, count); !st) return st;
  }
  return writer.close();
}

}  // namespace kl::las
