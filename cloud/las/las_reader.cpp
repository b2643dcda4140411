#include "cloud/las/las_reader.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "cloud/las/chunk_decoder.h"
#include "cloud/las/chunk_table.h"
#include "cloud/las/las_bytes.h"
#include "cloud/las/las_file.h"

namespace kl::las {

namespace {
constexpr uint64_t kRawBatchPoints = 50000;
// Chunks decoded or being decoded ahead of the consumer, per thread. With one slot
// more than the threads, a decoding thread stalls as soon as the consumer or the other
// thread falls a chunk behind (a rehash in the consumer's work, a preempted thread, a
// slow chunk); four per thread let it run on through such a gap.
constexpr unsigned kSlotsPerThread = 4;
}

// Decodes chunks ahead of the consumer on a few threads; a slot ring keeps results in
// file order and bounds memory to kSlotsPerThread chunks per thread. The buffers go
// round through a pool, last returned first taken, so a file needs only as many as
// are in use at once, and each is taken while its pages are mapped and still warm in
// the cache: a fresh buffer costs a page fault per page on first write, and those
// faults are paid on top of the decoding that one thread would not pay.
class ChunkPipeline {
 public:
  ChunkPipeline(const LasFile& file, const LasHeader& header, const LaszipInfo& info, const std::string& name,
                const std::vector<LazChunk>& chunks, unsigned threads, RecordFields fields,
                const LasReader::BatchWork& batchWork)
      : chunks_(chunks), slots_(kSlotsPerThread * threads), work_(batchWork) {
    // Each thread sets up its own decoder (models, tables, buffers): the set-up runs
    // in parallel instead of before the first chunk, and its memory is first touched
    // by the thread that uses it.
    for (unsigned i = 0; i < threads; ++i) {
      workers_.emplace_back([this, &file, &header, &info, &name, fields] {
        std::unique_ptr<ChunkDecoder> decoder;
        std::string error;
        try {
          decoder = std::make_unique<ChunkDecoder>(file, header, info, name, fields);
        } catch (const std::exception& e) {
          error = e.what();
        }
        work(decoder.get(), error);
      });
    }
  }
  ~ChunkPipeline() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (auto& t : workers_) t.join();
  }

  size_t notStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_ ? 0 : chunks_.size() - scheduled_;
  }

  LasStatus next(const uint8_t** records, uint64_t* count, std::any** result) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (handedOut_) {
      Slot& done = slots_[consumed_ % slots_.size()];
      done.ready = false;
      spare_.push_back(std::move(done.buffer));
      ++consumed_;
      handedOut_ = false;
      wake_.notify_all();
    }
    if (consumed_ >= chunks_.size()) {
      *count = 0;
      return LasStatus::success();
    }
    Slot& slot = slots_[consumed_ % slots_.size()];
    done_.wait(lock, [&] { return slot.ready; });
    if (!slot.status) return slot.status;
    handedOut_ = true;
    *records = slot.buffer->records.data();
    *count = chunks_[consumed_].points;
    *result = &slot.buffer->result;
    return LasStatus::success();
  }

 private:
  struct Buffer {
    std::vector<uint8_t> records;
    std::any result;
  };
  struct Slot {
    std::unique_ptr<Buffer> buffer;
    LasStatus status;
    bool ready = false;
  };

  // Without a decoder (its set-up failed) the first chunk taken fails with setupError.
  void work(ChunkDecoder* decoder, const std::string& setupError) {
    for (;;) {
      size_t index;
      std::unique_ptr<Buffer> buffer;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] {
          return stop_ || failed_ || (scheduled_ < chunks_.size() && scheduled_ < consumed_ + slots_.size());
        });
        if (stop_ || failed_) return;
        index = scheduled_++;
        if (!spare_.empty()) {
          buffer = std::move(spare_.back());
          spare_.pop_back();
        }
      }
      Slot& slot = slots_[index % slots_.size()];
      LasStatus status;
      try {
        if (!decoder) throw std::runtime_error(setupError);
        if (!buffer) buffer = std::make_unique<Buffer>();
        status = decoder->decode(chunks_[index], index, &buffer->records);
        if (status && work_) work_(buffer->records.data(), chunks_[index].points, buffer->result);
      } catch (const std::exception& e) {
        status = LasStatus::failure(std::string("Blad dekodowania: ") + e.what());
      }
      bool awaited;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.buffer = std::move(buffer);
        slot.status = status;
        slot.ready = true;
        if (!status) failed_ = true;
        // Only the chunk the consumer waits for can wake it; another would only cost
        // it a switch on a core the decoding threads need.
        awaited = index == consumed_ || !status;
      }
      if (awaited) done_.notify_all();
    }
  }

  const std::vector<LazChunk>& chunks_;
  std::vector<Slot> slots_;
  std::vector<std::unique_ptr<Buffer>> spare_;
  const LasReader::BatchWork& work_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  size_t scheduled_ = 0;
  size_t consumed_ = 0;
  bool handedOut_ = false;
  bool stop_ = false;
  bool failed_ = false;
};

struct LasReader::Impl {
  LasFile file;
  std::string name;
  LasHeader header;
  bool compressed = false;
  LaszipInfo info;
  std::vector<LazChunk> chunks;
  bool sequential = false;
  unsigned threads = 1;
  RecordFields fields = RecordFields::all();
  BatchWork work;
  std::any ownResult;
  std::any* result = &ownResult;
  // Decoders start at the first batch, once the fields to decode are known.
  bool started = false;
  // single-threaded state
  std::unique_ptr<ChunkDecoder> decoder;
  std::unique_ptr<ChunkPipeline> pipeline;
  std::vector<uint8_t> batch;
  size_t nextChunk = 0;
  uint64_t nextOffset = 0;
  uint64_t pointsDone = 0;
  bool failed = false;
};

LasReader::LasReader() = default;
LasReader::~LasReader() = default;

const LasHeader& LasReader::header() const { return impl_->header; }
const LaszipInfo* LasReader::laszip() const { return impl_ && impl_->compressed ? &impl_->info : nullptr; }

LasStatus LasReader::open(const std::string& path, unsigned threads) {
  impl_ = std::make_unique<Impl>();
  impl_->name = path;
  if (!impl_->file.open(path)) return LasStatus::failure("Plik " + path + ": nie mozna otworzyc pliku");
  return openOpened(threads);
}

LasStatus LasReader::openMemory(const uint8_t* data, size_t size, const std::string& name, unsigned threads) {
  impl_ = std::make_unique<Impl>();
  impl_->name = name;
  impl_->file.openMemory(data, size);
  return openOpened(threads);
}

LasStatus LasReader::openOpened(unsigned threads) {
  Impl& s = *impl_;
  s.failed = true;
  if (LasStatus st = readLasHeader(s.file, s.name, &s.header); !st) return st;
  LasHeader& h = s.header;
  const LasVlr* vlr = h.findVlr(kLaszipVlrUserId, kLaszipVlrRecordId);
  const bool flagged = (h.pointFormatByte & 0x80) != 0 && (h.pointFormatByte & 0x40) == 0;
  if (flagged && vlr == nullptr) {
    return LasStatus::failure("Plik " + s.name + ": oznaczony jako LAZ, ale brak rekordu LASzip");
  }
  if ((h.pointFormatByte & 0x40) != 0) {
    return LasStatus::failure("Plik " + s.name + ": nieznany sposob kompresji (bit 6 formatu punktow)");
  }
  s.compressed = flagged;
  h.compressed = flagged;
  if (!s.compressed) {
    const uint64_t room = h.fileSize - h.pointDataOffset;
    if (h.pointCount > room / h.recordLength) {
      return LasStatus::failure("Plik " + s.name + ": naglowek deklaruje " + std::to_string(h.pointCount) +
                                " punktow, a plik miesci tylko " + std::to_string(room / h.recordLength));
    }
    s.nextOffset = h.pointDataOffset;
    s.failed = false;
    return LasStatus::success();
  }
  if (LasStatus st = parseLaszipVlr(vlr->payload.data(), vlr->payload.size(), &s.info); !st) {
    return LasStatus::failure("Plik " + s.name + ": " + st.message);
  }
  if (LasStatus st = checkLaszipInfo(s.info, h.pointFormat, h.recordLength); !st) {
    return LasStatus::failure("Plik " + s.name + ": " + st.message);
  }
  ChunkTableResult table = readChunkTable(s.file, h, s.info, s.name);
  if (!table.status) return table.status;
  s.chunks = std::move(table.chunks);
  s.sequential = table.sequential;
  s.nextOffset = h.pointDataOffset + 8;
  s.threads = threads;
  s.failed = false;
  return LasStatus::success();
}

void LasReader::decodeOnly(RecordFields fields) {
  if (impl_ && !impl_->started) impl_->fields = fields;
}

void LasReader::workOnBatches(BatchWork work) {
  if (impl_ && !impl_->started) impl_->work = std::move(work);
}

std::any& LasReader::batchResult() { return *impl_->result; }

void LasReader::start() {
  if (impl_ && !impl_->failed && !impl_->started) startDecoding();
}

uint64_t LasReader::batchesNotStarted() const {
  if (!impl_ || impl_->failed) return 0;
  const Impl& s = *impl_;
  if (s.pipeline) return s.pipeline->notStarted();
  // Without threads a batch is decoded when asked for.
  if (s.compressed && !s.sequential) return s.chunks.size() - s.nextChunk;
  const uint64_t batch = s.compressed ? s.info.chunkSize : kRawBatchPoints;
  return batch == 0 ? 0 : (s.header.pointCount - s.pointsDone + batch - 1) / batch;
}

void LasReader::startDecoding() {
  Impl& s = *impl_;
  s.started = true;
  if (!s.compressed) return;
  if (!s.sequential && s.threads > 1 && s.chunks.size() > 1) {
    s.pipeline = std::make_unique<ChunkPipeline>(
        s.file, s.header, s.info, s.name, s.chunks, std::min<unsigned>(s.threads, static_cast<unsigned>(s.chunks.size())),
        s.fields, s.work);
  } else {
    s.decoder = std::make_unique<ChunkDecoder>(s.file, s.header, s.info, s.name, s.fields);
  }
}

LasStatus LasReader::next(const uint8_t** records, uint64_t* count) {
  *count = 0;
  if (!impl_ || impl_->failed) return LasStatus::failure("Czytnik LAS nie jest gotowy");
  Impl& s = *impl_;
  if (!s.started) startDecoding();
  const LasHeader& h = s.header;
  LasStatus st;
  if (!s.compressed) {
    const uint64_t n = std::min<uint64_t>(kRawBatchPoints, h.pointCount - s.pointsDone);
    if (n == 0) return st;
    s.batch.resize(static_cast<size_t>(n * h.recordLength));
    if (!s.file.readAt(s.nextOffset, s.batch.size(), s.batch.data())) {
      st = LasStatus::failure("Plik " + s.name + ": blad odczytu punktow");
    } else {
      s.nextOffset += s.batch.size();
      s.pointsDone += n;
      *records = s.batch.data();
      *count = n;
    }
  } else if (s.pipeline) {
    st = s.pipeline->next(records, count, &s.result);
  } else if (s.sequential) {
    if (s.pointsDone >= h.pointCount) return st;
    LazChunk c;
    c.offset = s.nextOffset;
    c.points = std::min<uint64_t>(s.info.chunkSize, h.pointCount - s.pointsDone);
    c.firstPoint = s.pointsDone;
    uint64_t stored = 0;
    st = s.decoder->decodeAt(c, s.nextChunk, &s.batch, &stored);
    if (st) {
      s.nextOffset += stored;
      s.pointsDone += c.points;
      ++s.nextChunk;
      *records = s.batch.data();
      *count = c.points;
    }
  } else {
    if (s.nextChunk >= s.chunks.size()) return st;
    st = s.decoder->decode(s.chunks[s.nextChunk], s.nextChunk, &s.batch);
    if (st) {
      *records = s.batch.data();
      *count = s.chunks[s.nextChunk].points;
      ++s.nextChunk;
    }
  }
  if (!st) {
    s.failed = true;
  } else if (s.work && *count > 0 && !s.pipeline) {
    // (the pipeline did the work on its decoding threads)
    s.work(*records, *count, s.ownResult);
  }
  return st;
}

LasStatus LasReader::readAll(std::vector<uint8_t>* out) {
  out->clear();
  for (;;) {
    const uint8_t* p = nullptr;
    uint64_t n = 0;
    if (LasStatus st = next(&p, &n); !st) return st;
    if (n == 0) return LasStatus::success();
    out->insert(out->end(), p, p + n * header().recordLength);
  }
}

LasPointView viewPoint(const uint8_t* p, uint8_t format) {
  LasPointView v{};
  v.x = loadLe<int32_t>(p);
  v.y = loadLe<int32_t>(p + 4);
  v.z = loadLe<int32_t>(p + 8);
  v.intensity = loadLe<uint16_t>(p + 12);
  size_t rgbAt = 0;
  if (format < 6) {
    v.returnNumber = p[14] & 7;
    v.numberOfReturns = (p[14] >> 3) & 7;
    v.classification = p[15] & 0x1F;
    v.classificationFlags = static_cast<uint8_t>(p[15] >> 5);
    rgbAt = format == 2 ? 20 : 28;
  } else {
    v.returnNumber = p[14] & 15;
    v.numberOfReturns = p[14] >> 4;
    v.classificationFlags = p[15] & 15;
    v.classification = p[16];
    rgbAt = 30;
  }
  v.hasRgb = formatHasRgb(format);
  if (v.hasRgb) {
    v.red = loadLe<uint16_t>(p + rgbAt);
    v.green = loadLe<uint16_t>(p + rgbAt + 2);
    v.blue = loadLe<uint16_t>(p + rgbAt + 4);
  }
  return v;
}

}  // namespace kl::las
