#pragma once
// The in-memory project: attributes, elements, georeference and the undo
// history, with the host operations that read and change them. Main thread
// only.
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/core/attributes.h"
#include "host/core/element_store.h"
#include "host/core/memo_pool.h"
#include "host/core/undo_journal.h"

namespace kl::host {

class Project : private ChangeTarget {
public:
    Project();
    ~Project() override;
    Project(const Project&) = delete;
    Project& operator=(const Project&) = delete;

    // undo scope
    KlErr undoableCommand(const char* stepName, KlCommandBody body, void* ctx);
    bool undo() { return journal_.undo(*this); }
    bool redo() { return journal_.redo(*this); }
    const UndoJournal& journal() const { return journal_; }
    // A project read from a file starts without steps to undo.
    void forgetHistory() { journal_.clearHistory(); }

    // attributes
    KlErr createAttribute(KlAttribute* attr);
    KlErr listAttributes(int32_t type, KlAttributeVisitor visitor, void* ctx) const;
    const AttributeTables& attributes() const { return attributes_; }

    // elements
    KlErr elementDefaults(KlElement* element, KlMemo* memo);
    // keepGuid: the element takes this identity (a project read from a file)
    // instead of a fresh one; refused when null or already taken.
    KlErr createElement(KlElement* element, const KlMemo* memo, const KlGuid* keepGuid = nullptr);
    KlErr getElement(KlElement* element) const;
    KlErr getElementMemo(const KlGuid* guid, KlMemo* memo, int32_t mask);
    KlErr setInfoString(const KlGuid* guid, const char* text);
    KlErr listElements(int32_t type, int32_t filter, KlGuidVisitor visitor, void* ctx) const;
    KlErr deleteElements(const KlGuid* guids, int32_t count);
    KlErr visitSelection(KlGuidVisitor visitor, void* ctx) const;
    void setSelection(std::vector<KlGuid> guids) { selection_ = std::move(guids); }
    const std::vector<KlGuid>& selection() const { return selection_; }
    const ElementStore& elements() const { return elements_; }

    // memos and bodies
    MemoPool& memos() { return memos_; }
    const MemoPool& memos() const { return memos_; }
    KlErr bodyCreate(KlBodyRef* body);
    KlErr bodyFinish(KlBodyRef body, KlMemo* memo);
    KlErr bodyDispose(KlBodyRef* body);
    KlBody* liveBody(KlBodyRef body) const;
    size_t liveBodies() const { return bodies_.size(); }

    // georeference: writes are allowed outside an undo scope
    const KlGeoLocation& geoLocation() const { return geo_; }
    KlErr setGeoLocation(const KlGeoLocation& location);

    // The whole model as JSON, in a stable order: equal models give equal text.
    // Pictures carry their bytes (base64 "data") only when asked: a project
    // file needs them, the page's model needs only their hash.
    nlohmann::ordered_json toJson(bool withPictureBytes = false) const;
    std::string serialise(bool withPictureBytes = false) const;

private:
    void apply(const Change& change, bool forwards) override;
    KlErr validateGeometry(const KlElement& e, const KlMemo* memo, ElementRecord& out) const;

    AttributeTables attributes_;
    ElementStore elements_;
    MemoPool memos_;
    UndoJournal journal_;
    KlGeoLocation geo_{};
    std::vector<KlGuid> selection_;
    std::unordered_set<KlBody*> bodies_;
};

// Copies of the fixed-size text fields stop at the first NUL, the rest is
// zeroed, so equal texts give equal records.
KlGeoLocation normalisedGeo(const KlGeoLocation& in);

}  // namespace kl::host
