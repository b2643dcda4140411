#include "geodata/gml_stream.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geodata/epsg_code.h"
#include "geodata/gml_feature_reader.h"
#include "geodata/gml_piece_tags.h"
#include "geodata/utf8_text.h"
#include "geodata/xml_member_scanner.h"
#include "geodata/xml_walk.h"

namespace kl::geo {
namespace {

bool isMemberName(std::string_view name) { return name == "member" || name == "featureMember"; }

// An element the walk is inside of: its start tag (with the attributes that
// matter below it) opens every piece parsed on its own, so the piece sees the
// ancestors (and their srsName, srsDimension) it has in the document.
struct OpenElement {
  std::string startTag;
  std::string name;
  std::size_t documentOffset = 0;
  bool holdsOnlyFeatures = false;  // a featureMembers container: each child is a feature
};

class GmlStreamReader {
 public:
  GmlStreamReader(std::istream& in, DataType type, const GmlFeatureSink& sink, const GmlParseOptions& options,
                  std::size_t chunkBytes)
      : in_(in), type_(type), sink_(sink), options_(options), chunkBytes_(std::max<std::size_t>(chunkBytes, 1)) {}

  GmlParseResult run() {
    try {
      return read();
    } catch (const std::exception&) {
      return outOfMemoryGmlResult();
    }
  }

 private:
  GmlParseResult read() {
    while (needsMoreForDeclaration() && readMore(chunkBytes_)) {
    }
    if (!isPlainUtf8(held())) return readWhole();
    pos_ = held().starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    const XmlPiece root = pieceAfterProlog();
    if (root.kind != XmlPieceKind::StartTag || !isFeatureCollectionName(localName(root.name))) return readWhole();
    bool going = open(root, false);
    while (going && !open_.empty()) going = step();
    return std::move(result_);
  }

  // The first piece that is not text, a comment or a processing instruction.
  XmlPiece pieceAfterProlog() {
    for (;;) {
      keepFrom_ = pos_;
      const XmlPiece piece = nextPiece();
      if (piece.kind != XmlPieceKind::Text && piece.kind != XmlPieceKind::Inert) return piece;
      pos_ = piece.end;
    }
  }

  bool needsMoreForDeclaration() const {
    const std::string_view text = held().substr(held().starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0);
    if (text.size() < 5) return true;
    return text.starts_with("<?xml") && text.find("?>") == std::string_view::npos;
  }

  // One piece inside the open elements; false when the reading ended early
  // (the answer is then in result_).
  bool step() {
    keepFrom_ = pos_;
    const XmlPiece piece = nextPiece();
    switch (piece.kind) {
      case XmlPieceKind::Text:
      case XmlPieceKind::Inert:
        pos_ = piece.end;
        return true;
      case XmlPieceKind::EndTag:
        if (piece.name != open_.back().name) return malformed();
        pos_ = piece.end;
        close();
        return true;
      case XmlPieceKind::StartTag:
      case XmlPieceKind::EmptyTag:
        return element(piece);
      default:
        return malformed();
    }
  }

  bool element(const XmlPiece& piece) {
    if (open_.size() > static_cast<std::size_t>(kMaxGmlElementDepth)) return tooDeep();
    const std::string_view local = localName(piece.name);
    if (piece.kind == XmlPieceKind::EmptyTag || open_.back().holdsOnlyFeatures) return wholeElement(piece);
    if (local == "featureMembers" || isFeatureCollectionName(local)) return open(piece, local == "featureMembers");
    if (isMemberName(local)) return member(piece);
    return wholeElement(piece);
  }

  // A member holds one feature, read as one piece, or (WFS 2.0 answers for
  // several types) a collection per type, which is walked like the root.
  bool member(const XmlPiece& start) {
    const std::string startTag(held().substr(pos_, start.end - pos_));
    const std::string name(start.name);
    const std::size_t documentOffset = bufferStart_ + pos_;
    pos_ = start.end;
    for (;;) {
      const XmlPiece piece = nextPiece();
      switch (piece.kind) {
        case XmlPieceKind::Text:
        case XmlPieceKind::Inert:
          pos_ = piece.end;
          break;
        case XmlPieceKind::EndTag:
          pos_ = piece.end;
          return readElement(keepFrom_, pos_);
        case XmlPieceKind::StartTag:
        case XmlPieceKind::EmptyTag:
          if (isFeatureCollectionName(localName(piece.name))) {
            return push({startTag, name, documentOffset, false});
          }
          return finishElement(1);
        default:
          return malformed();
      }
    }
  }

  bool wholeElement(const XmlPiece& start) {
    pos_ = start.end;
    return finishElement(start.kind == XmlPieceKind::StartTag ? 1 : 0);
  }

  // Scans on to the end of the element that starts at keepFrom_, `depth`
  // of its elements being open at pos_, then reads it.
  bool finishElement(std::size_t depth) {
    while (depth > 0) {
      const XmlPiece piece = nextPiece();
      switch (piece.kind) {
        case XmlPieceKind::Text:
        case XmlPieceKind::Inert:
          break;
        case XmlPieceKind::StartTag:
          if (open_.size() + depth > static_cast<std::size_t>(kMaxGmlElementDepth)) return tooDeep();
          ++depth;
          break;
        case XmlPieceKind::EmptyTag:
          if (open_.size() + depth > static_cast<std::size_t>(kMaxGmlElementDepth)) return tooDeep();
          break;
        case XmlPieceKind::EndTag:
          --depth;
          break;
        default:
          return malformed();
      }
      pos_ = piece.end;
    }
    return readElement(keepFrom_, pos_);
  }

  bool open(const XmlPiece& start, bool holdsOnlyFeatures) {
    OpenElement element{std::string(held().substr(pos_, start.end - pos_)), std::string(start.name),
                        bufferStart_ + pos_, holdsOnlyFeatures};
    pos_ = start.end;
    return push(std::move(element));
  }

  bool push(OpenElement element) {
    // The start tag inside its ancestors, closed at once: checks it and may
    // name the srsName.
    miniDocument_ = ancestorTags_ + element.startTag + "</" + element.name + ">" + closingTags_;
    const pugi::xml_parse_result parsed = parseMiniDocument();
    if (!parsed) {
      const std::size_t inTag = static_cast<std::size_t>(parsed.offset) - ancestorTags_.size();
      return fail(element.documentOffset + std::min(inTag, element.startTag.size()));
    }
    if (!reader_) {
      const pugi::xml_node root = document_.document_element();
      const std::string_view srsName = documentSrsNameOf(root);
      if (!srsName.empty() || root.attribute("srsName")) startReading(srsName);
    }
    element.startTag = tagForDescendants(element.startTag, element.name);
    open_.push_back(std::move(element));
    rebuildAncestors();
    return true;
  }

  void close() {
    open_.pop_back();
    rebuildAncestors();
  }

  void rebuildAncestors() {
    ancestorTags_.clear();
    closingTags_.clear();
    for (const OpenElement& e : open_) ancestorTags_ += e.startTag;
    for (auto e = open_.rbegin(); e != open_.rend(); ++e) closingTags_ += "</" + e->name + ">";
  }

  void startReading(std::string_view documentSrsName) {
    result_.documentEpsg = epsgFromSrsName(documentSrsName);
    reader_.emplace(type_, documentSrsName, options_);
  }

  // The element held in [from, to) parsed inside its ancestors, its features
  // handed on.
  bool readElement(std::size_t from, std::size_t to) {
    miniDocument_.assign(ancestorTags_);
    miniDocument_.append(buffer_, from, to - from);
    miniDocument_ += closingTags_;
    const pugi::xml_parse_result parsed = parseMiniDocument();
    if (!parsed) {
      const std::size_t inElement = static_cast<std::size_t>(parsed.offset) - ancestorTags_.size();
      return fail(bufferStart_ + from + std::min(inElement, to - from));
    }
    const pugi::xml_node root = document_.document_element();
    if (!reader_) {
      const std::string_view srsName = documentSrsNameOf(root);
      if (srsName.empty()) {
        // Features before any srsName take the one that comes later in the
        // document: only the whole document can say which.
        GmlFeatureReader probe(type_, {}, options_);
        std::vector<std::string> ignored;
        probe.read(root, [](GisFeature&&) {}, ignored);
        return probe.featureElementsSeen() == 0 || fallBack();
      }
      startReading(srsName);
    }
    if (!reader_->read(root, handOn_, result_.warnings)) {
      result_ = cancelledGmlResult();
      return false;
    }
    return true;
  }

  pugi::xml_parse_result parseMiniDocument() {
    return document_.load_buffer_inplace(miniDocument_.data(), miniDocument_.size(), pugi::parse_default,
                                         pugi::encoding_utf8);
  }

  // The piece at pos_, reading on while it runs past what is held; Incomplete
  // only at the end of the document.
  XmlPiece nextPiece() {
    for (;;) {
      if (pos_ < held_) {
        const XmlPiece piece = nextXmlPiece(held(), pos_);
        if (piece.kind != XmlPieceKind::Incomplete) return piece;
      }
      // A piece longer than a chunk is read in growing steps, so scanning it
      // again from its start each time costs linear time in all.
      if (!readMore(std::max(chunkBytes_, held_ - pos_))) return {};
    }
  }

  bool readMore(std::size_t bytes) {
    if (in_.eof() || in_.fail()) return false;
    dropRead();
    // The string only grows: bytes past held_ are room to read into, which
    // would otherwise be zeroed with every chunk.
    if (buffer_.size() < held_ + bytes) buffer_.resize(held_ + bytes);
    in_.read(buffer_.data() + held_, static_cast<std::streamsize>(bytes));
    const auto got = static_cast<std::size_t>(in_.gcount());
    held_ += got;
    return got > 0;
  }

  std::string_view held() const { return {buffer_.data(), held_}; }

  // Once features are read with the right srsName, what lies before keepFrom_
  // is never needed again.
  void dropRead() {
    if (!reader_ || keepFrom_ < chunkBytes_ / 2 || keepFrom_ == 0) return;
    std::memmove(buffer_.data(), buffer_.data() + keepFrom_, held_ - keepFrom_);
    held_ -= keepFrom_;
    bufferStart_ += keepFrom_;
    pos_ -= keepFrom_;
    keepFrom_ = 0;
    dropped_ = true;
  }

  // While nothing is lost, the whole-document reading gives the exact answer.
  bool canFallBack() const { return !dropped_ && !handedOn_; }

  bool fallBack() {
    result_ = readWhole();
    return false;
  }

  GmlParseResult readWhole() {
    keepFrom_ = 0;  // every byte from the first on
    while (readMore(chunkBytes_)) {
    }
    buffer_.resize(held_);
    GmlParseResult whole = GmlParser::parseOwned(std::move(buffer_), type_, options_);
    for (GisFeature& feature : whole.features) sink_(std::move(feature));
    whole.features = {};
    return whole;
  }

  bool tooDeep() {
    if (canFallBack()) return fallBack();
    result_ = GmlParseResult{};
    result_.status = GmlStatus::TooDeep;
    result_.message = tooDeepGmlMessage();
    return false;
  }

  // Broken or cut short: pugixml on what is held, inside the open elements
  // and never closed, names the byte the whole document's parse would name.
  bool malformed() {
    if (canFallBack()) return fallBack();
    while (readMore(chunkBytes_) && held_ - keepFrom_ < 2 * chunkBytes_) {
    }
    miniDocument_.assign(ancestorTags_);
    miniDocument_.append(held().substr(keepFrom_));
    const pugi::xml_parse_result parsed = parseMiniDocument();
    // At the end of what is held pugixml names the last byte, which may lie
    // before keepFrom_, in what was read already.
    const auto heldFrom = static_cast<std::ptrdiff_t>(bufferStart_ + keepFrom_);
    const std::ptrdiff_t at =
        parsed ? static_cast<std::ptrdiff_t>(bufferStart_ + held_)
               : heldFrom + parsed.offset - static_cast<std::ptrdiff_t>(ancestorTags_.size());
    return fail(static_cast<std::size_t>(std::max<std::ptrdiff_t>(at, 0)));
  }

  bool fail(std::size_t documentOffset) {
    if (canFallBack()) return fallBack();
    result_ = GmlParseResult{};
    result_.status = GmlStatus::MalformedXml;
    result_.errorOffset = static_cast<std::ptrdiff_t>(documentOffset);
    result_.message = malformedGmlMessage(result_.errorOffset);
    return false;
  }

  std::istream& in_;
  DataType type_;
  const GmlFeatureSink& sink_;
  const GmlParseOptions& options_;
  std::size_t chunkBytes_;

  std::string buffer_;           // the document from bufferStart_ on in its first held_ bytes
  std::size_t held_ = 0;         // bytes of buffer_ read from the stream
  std::size_t bufferStart_ = 0;  // document offset of buffer_[0]
  std::size_t pos_ = 0;          // where the scan stands in buffer_
  std::size_t keepFrom_ = 0;     // start of the piece or element being read
  bool dropped_ = false;         // some of the document is no longer held
  bool handedOn_ = false;        // some features went to the sink
  const GmlFeatureSink handOn_ = [this](GisFeature&& feature) {
    handedOn_ = true;
    sink_(std::move(feature));
  };

  std::vector<OpenElement> open_;
  std::string ancestorTags_;
  std::string closingTags_;
  std::string miniDocument_;
  pugi::xml_document document_;
  std::optional<GmlFeatureReader> reader_;
  GmlParseResult result_;
};

}  // namespace

GmlParseResult streamGmlFeatures(std::istream& in, DataType type, const GmlFeatureSink& sink,
                                 const GmlParseOptions& options, std::size_t chunkBytes) {
  return GmlStreamReader(in, type, sink, options, chunkBytes).run();
}

}  // namespace kl::geo
