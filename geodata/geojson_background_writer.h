#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "geodata/geojson.h"

namespace kl::geo {

// A GeoJsonCollectionWriter on a thread of its own: the features are printed
// (the shortest text of every coordinate, the most work a feature takes after
// reading it) while the next ones are read. Features go over in small batches
// and only a few batches wait at a time, so memory stays that of a few hundred
// features. The text is byte for byte the one GeoJsonCollectionWriter writes;
// without finish() it stays an unclosed collection, written as far as added.
class GeoJsonBackgroundWriter {
 public:
  GeoJsonBackgroundWriter(std::ostream& out, GeoJsonCoordinates coordinates);
  ~GeoJsonBackgroundWriter();
  GeoJsonBackgroundWriter(const GeoJsonBackgroundWriter&) = delete;
  GeoJsonBackgroundWriter& operator=(const GeoJsonBackgroundWriter&) = delete;

  // Rethrows what stopped the printing thread (out of memory, a stream set
  // to throw).
  void add(GisFeature&& feature);
  // Waits until every feature is written, then closes the collection.
  void finish();

 private:
  using Batch = std::vector<GisFeature>;

  void print();
  void hand(Batch&& batch);
  void stop();

  GeoJsonCollectionWriter writer_;  // used by the printing thread alone until it ends
  Batch filling_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> waiting_;
  bool noMore_ = false;
  std::exception_ptr failure_;
  std::thread printer_;
};

}  // namespace kl::geo
