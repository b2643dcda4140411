#include "geodata/geojson_background_writer.h"

#include <utility>

namespace kl::geo {
namespace {

// Enough features per batch that the threads meet rarely, few enough batches
// that the reader cannot run far ahead of the printing.
constexpr std::size_t kFeaturesPerBatch = 64;
constexpr std::size_t kBatchesWaiting = 4;

}  // namespace

GeoJsonBackgroundWriter::GeoJsonBackgroundWriter(std::ostream& out, GeoJsonCoordinates coordinates)
    : writer_(out, coordinates) {
  filling_.reserve(kFeaturesPerBatch);
  printer_ = std::thread([this] { print(); });
}

GeoJsonBackgroundWriter::~GeoJsonBackgroundWriter() { stop(); }

void GeoJsonBackgroundWriter::add(GisFeature&& feature) {
  filling_.push_back(std::move(feature));
  if (filling_.size() < kFeaturesPerBatch) return;
  hand(std::exchange(filling_, {}));
  filling_.reserve(kFeaturesPerBatch);
}

void GeoJsonBackgroundWriter::finish() {
  if (!filling_.empty()) hand(std::exchange(filling_, {}));
  stop();
  if (failure_) std::rethrow_exception(failure_);
  writer_.finish();
}

void GeoJsonBackgroundWriter::hand(Batch&& batch) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return waiting_.size() < kBatchesWaiting || failure_; });
  if (failure_) std::rethrow_exception(failure_);
  waiting_.push_back(std::move(batch));
  changed_.notify_all();
}

void GeoJsonBackgroundWriter::stop() {
  if (!printer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    noMore_ = true;
  }
  changed_.notify_all();
  printer_.join();
}

void GeoJsonBackgroundWriter::print() {
  for (;;) {
    Batch batch;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return !waiting_.empty() || noMore_; });
      if (waiting_.empty()) return;
      batch = std::move(waiting_.front());
      waiting_.pop_front();
    }
    changed_.notify_all();
    try {
      for (const GisFeature& feature : batch) writer_.add(feature);
    } catch (...) {
      std::lock_guard lock(mutex_);
      failure_ = std::current_exception();
      changed_.notify_all();
      return;
    }
  }
}

}  // namespace kl::geo
