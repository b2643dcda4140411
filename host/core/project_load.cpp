#include "host/core/project_load.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "host/core/guid.h"
#include "host/core/memo_pool.h"
#include "host/core/picture_bytes.h"

namespace kl::host {
namespace {

using Json = nlohmann::json;

// A project file nests six levels deep (a morph polygon's edge list); deeper
// text is no project and would only cost memory to parse.
constexpr int kMaxFileNesting = 8;

struct Refusal {
    std::string message;
};

[[noreturn]] void refuse(const std::string& where, const std::string& reason) { throw Refusal{where + ": " + reason}; }

double finiteNumber(const Json& v, const std::string& where) {
    if (!v.is_number()) refuse(where, "oczekiwano liczby");
    const double d = v.get<double>();
    if (!std::isfinite(d)) refuse(where, "liczba poza zakresem");
    return d;
}

int32_t smallInteger(const Json& v, const std::string& where) {
    if (!v.is_number_integer()) refuse(where, "oczekiwano liczby całkowitej");
    constexpr int64_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    const bool fits = v.is_number_unsigned() ? v.get<uint64_t>() <= uint64_t(hi) : v.get<int64_t>() >= lo && v.get<int64_t>() <= hi;
    if (!fits) refuse(where, "liczba całkowita poza zakresem");
    return static_cast<int32_t>(v.get<int64_t>());
}

// The fields of one JSON object, each read as the type it must have.
class Fields {
public:
    Fields(const Json& j, std::string where) : j_(j), where_(std::move(where)) {
        if (!j_.is_object()) refuse(where_, "oczekiwano obiektu");
    }
    const std::string& where() const { return where_; }
    std::string at(const char* key) const { return where_ + "." + key; }
    bool has(const char* key) const { return j_.contains(key); }
    const Json& get(const char* key) const {
        const auto it = j_.find(key);
        if (it == j_.end()) refuse(where_, std::string("brak pola \"") + key + "\"");
        return *it;
    }
    double number(const char* key) const { return finiteNumber(get(key), at(key)); }
    int32_t integer(const char* key) const { return smallInteger(get(key), at(key)); }
    const Json& array(const char* key) const {
        const Json& v = get(key);
        if (!v.is_array()) refuse(at(key), "oczekiwano tablicy");
        return v;
    }
    // Text without NUL bytes: the host's C strings would end at the first.
    std::string text(const char* key) const {
        const Json& v = get(key);
        if (!v.is_string()) refuse(at(key), "oczekiwano tekstu");
        std::string s = v.get<std::string>();
        if (s.find('\0') != std::string::npos) refuse(at(key), "tekst zawiera znak NUL");
        return s;
    }
    std::vector<double> numbers(const char* key, size_t exactly = 0) const {
        const Json& a = array(key);
        if (exactly && a.size() != exactly) refuse(at(key), "oczekiwano " + std::to_string(exactly) + " liczb");
        std::vector<double> out;
        out.reserve(a.size());
        for (size_t i = 0; i < a.size(); ++i) out.push_back(finiteNumber(a[i], at(key) + "[" + std::to_string(i) + "]"));
        return out;
    }
    std::vector<int32_t> integers(const char* key) const {
        const Json& a = array(key);
        std::vector<int32_t> out;
        out.reserve(a.size());
        for (size_t i = 0; i < a.size(); ++i) out.push_back(smallInteger(a[i], at(key) + "[" + std::to_string(i) + "]"));
        return out;
    }
    // Calls fn(tuple, where) for each element of an array of arrays of `dims` values.
    template <class Fn>
    void tuples(const char* key, size_t dims, Fn fn) const {
        const Json& a = array(key);
        for (size_t i = 0; i < a.size(); ++i) {
            const std::string w = at(key) + "[" + std::to_string(i) + "]";
            if (!a[i].is_array() || a[i].size() != dims) refuse(w, "oczekiwano " + std::to_string(dims) + " wartości");
            fn(a[i], w);
        }
    }
    // An array of points, each an array of `dims` numbers, flattened.
    std::vector<double> points(const char* key, size_t dims) const {
        std::vector<double> out;
        out.reserve(array(key).size() * dims);
        tuples(key, dims, [&](const Json& t, const std::string& w) {
            for (const Json& c : t) out.push_back(finiteNumber(c, w));
        });
        return out;
    }

private:
    const Json& j_;
    std::string where_;
};

template <class T>
std::vector<T> asRecords(const std::vector<double>& flat) {
    std::vector<T> out(flat.size() * sizeof(double) / sizeof(T));
    if (!flat.empty()) std::memcpy(out.data(), flat.data(), flat.size() * sizeof(double));
    return out;
}

template <size_t N>
void copyText(char (&dst)[N], const Fields& f, const char* key) {
    const std::string s = f.text(key);
    if (s.size() >= N) refuse(f.at(key), "tekst dłuższy niż " + std::to_string(N - 1) + " bajtów");
    std::memcpy(dst, s.data(), s.size());
}

std::string reasonOf(KlErr err) {
    switch (err) {
        case KL_ERR_BADINDEX: return "nieznany indeks warstwy, wypełnienia lub materiału";
        case KL_ERR_BADID: return "identyfikator GUID pusty lub powtórzony";
        case KL_ERR_ATTREXIST: return "atrybut o tej nazwie już istnieje";
        case KL_ERR_BODY_EDGE_TWICE: return "bryła: krawędź biegnie dwa razy w tę samą stronę";
        case KL_ERR_BODY_SELF_CROSSING: return "bryła: wielokąt przecina sam siebie";
        case KL_ERR_MEMFULL: return "za duży";
        default: return "niepoprawna geometria lub parametry (kod " + std::to_string(err) + ")";
    }
}

void loadAttributes(Project& p, const Json& attrs) {
    Fields tables(attrs, "attributes");
    static const std::pair<const char*, int32_t> kinds[] = {
        {"layers", KL_ATTR_LAYER}, {"fills", KL_ATTR_FILL}, {"surfaces", KL_ATTR_SURFACE},
        {"buildingMaterials", KL_ATTR_BUILDINGMATERIAL}};
    for (const auto& [key, type] : kinds) {
        const Json& list = tables.array(key);
        const size_t defaults = p.attributes().list(type).size();
        if (list.size() < defaults) refuse(tables.at(key), "brak atrybutów domyślnych pustego projektu");
        for (size_t i = 0; i < list.size(); ++i) {
            const Fields f(list[i], tables.at(key) + "[" + std::to_string(i) + "]");
            const std::vector<double> rgb = f.numbers("rgb", 3);
            Attribute want{type, f.integer("index"), f.text("name"), rgb[0], rgb[1], rgb[2], f.integer("fillKind"),
                           f.integer("flags")};
            if (i >= defaults) {
                KlAttribute a{};
                a.type = type;
                copyText(a.name, f, "name");
                a.red = want.red, a.green = want.green, a.blue = want.blue;
                a.fillKind = want.fillKind;
                a.flags = want.flags;
                if (KlErr err = p.createAttribute(&a); err != KL_NOERROR) refuse(f.where(), reasonOf(err));
            }
            const Attribute& have = p.attributes().list(type)[i];
            if (have.index != want.index || have.name != want.name || have.red != want.red || have.green != want.green ||
                have.blue != want.blue || have.fillKind != want.fillKind || have.flags != want.flags)
                refuse(f.where(), i < defaults ? "różni się od atrybutu domyślnego" : "indeks lub wartości inne niż nadane");
        }
    }
}

void readPicture(const Fields& f, KlElement& e, MemoToken& parts) {
    const std::vector<double> origin = f.numbers("origin", 2), size = f.numbers("size", 2);
    e.picOrigin = {origin[0], origin[1]};
    e.picWidth = size[0], e.picHeight = size[1];
    e.picAngleRad = f.number("angle");
    copyText(e.picMimeType, f, "mime");
    if (!f.has("data")) refuse(f.where(), "brak bajtów obrazu (pole \"data\"); to model strony, nie plik projektu");
    auto bytes = base64Decode(f.text("data"));
    if (!bytes) refuse(f.at("data"), "niepoprawny zapis base64");
    const Json& count = f.get("dataBytes");
    const Json& hash = f.get("dataHash");
    if (!count.is_number_unsigned() || count.get<uint64_t>() != bytes->size() || !hash.is_number_unsigned() ||
        hash.get<uint64_t>() != pictureHash(*bytes))
        refuse(f.at("data"), "bajty obrazu nie zgadzają się z rozmiarem lub skrótem");
    parts.data = std::move(*bytes);
}

// The morph body rebuilt through the host's own body calls, then created.
KlErr createMorph(Project& p, const Fields& f, KlElement& e, const KlGuid& guid) {
    const Fields body(f.get("body"), f.at("body"));
    KlBodyRef ref = nullptr;
    p.bodyCreate(&ref);
    KlMemo memo{};
    struct Cleanup {
        Project& p;
        KlBodyRef& ref;
        KlMemo& memo;
        ~Cleanup() {
            p.memos().dispose(&memo);
            p.bodyDispose(&ref);
        }
    } cleanup{p, ref, memo};
    MorphBody& b = ref->body;
    int32_t index = 0;
    for (const KlCoord3& v : asRecords<KlCoord3>(body.points("vertices", 3)))
        if (b.addVertex(v, index) != KL_NOERROR) refuse(body.at("vertices"), "niepoprawny wierzchołek");
    body.tuples("edges", 2, [&](const Json& t, const std::string& w) {
        if (b.addEdge(smallInteger(t[0], w), smallInteger(t[1], w), index) != KL_NOERROR)
            refuse(w, "krawędź do nieistniejącego wierzchołka");
    });
    const Json& polygons = body.array("polygons");
    for (size_t i = 0; i < polygons.size(); ++i) {
        const Fields poly(polygons[i], body.at("polygons") + "[" + std::to_string(i) + "]");
        const std::vector<int32_t> signedEdges = poly.integers("edges");
        if (b.addPolygon(signedEdges.data(), static_cast<int32_t>(signedEdges.size()), poly.integer("material"),
                         index) != KL_NOERROR)
            refuse(poly.where(), "wielokąt nie jest zamkniętym łańcuchem krawędzi");
    }
    if (KlErr err = p.bodyFinish(ref, &memo); err != KL_NOERROR) return err;
    return p.createElement(&e, &memo, &guid);
}

int32_t elementType(const std::string& name) {
    for (int32_t t = KL_ELEM_POLYLINE; t <= KL_ELEM_MORPH; ++t)
        if (name == elementTypeName(t)) return t;
    return 0;
}

void loadElement(Project& p, const Json& j, size_t i) {
    const Fields f(j, "elements[" + std::to_string(i) + "]");
    const int32_t type = elementType(f.text("type"));
    if (!type) refuse(f.at("type"), "nieznany rodzaj elementu");
    KlElement e{};
    e.type = type;
    p.elementDefaults(&e, nullptr);
    const auto guid = parseGuid(f.text("guid"));
    if (!guid) refuse(f.at("guid"), "niepoprawny GUID");
    e.layer = f.integer("layer");
    e.pen = f.integer("pen");
    MemoToken parts;
    if (f.has("coords")) {
        parts.coords = asRecords<KlCoord>(f.points("coords", 2));
        parts.ringEnds = f.integers("rings");
        if (parts.coords.empty() || parts.ringEnds.empty()) refuse(f.at("coords"), "pusty kontur");
    }
    switch (type) {
        case KL_ELEM_POLYLINE:
            e.closed = f.integer("closed");
            if (f.has("arcs")) {
                f.tuples("arcs", 3, [&](const Json& t, const std::string& w) {
                    parts.arcs.push_back({smallInteger(t[0], w), smallInteger(t[1], w), finiteNumber(t[2], w)});
                });
                if (parts.arcs.empty()) refuse(f.at("arcs"), "pusta lista łuków");
            }
            break;
        case KL_ELEM_HATCH:
            e.fillIndex = f.integer("fill");
            e.fillPen = f.integer("fillPen");
            e.backgroundPen = f.integer("backgroundPen");
            if (f.has("fillColour")) {
                const std::vector<double> rgb = f.numbers("fillColour", 3);
                for (double c : rgb)
                    if (!(c >= 0 && c <= 1)) refuse(f.at("fillColour"), "składowa koloru poza zakresem 0..1");
                e.hasFillColour = 1;
                e.fillRed = rgb[0], e.fillGreen = rgb[1], e.fillBlue = rgb[2];
            }
            break;
        case KL_ELEM_TEXT: {
            const std::vector<double> loc = f.numbers("loc", 2);
            e.textLoc = {loc[0], loc[1]};
            e.textSizeMm = f.number("sizeMm");
            e.textAngleRad = f.number("angle");
            e.textAnchor = f.integer("anchor");
            // the memo's text ends in a terminator the byte count leaves out
            if (const std::string text = f.text("text"); !text.empty())
                parts.text.assign(text.c_str(), text.c_str() + text.size() + 1);
            break;
        }
        case KL_ELEM_PICTURE: readPicture(f, e, parts); break;
        case KL_ELEM_MESH:
            e.level = f.number("level");
            e.skirtLevel = f.number("skirtLevel");
            e.material = f.integer("material");
            parts.boundaryZ = f.numbers("boundaryZ");
            if (parts.boundaryZ.size() != parts.coords.size()) refuse(f.at("boundaryZ"), "liczba wysokości inna niż punktów konturu");
            parts.levelPoints = asRecords<KlCoord3>(f.points("levelPoints", 3));
            parts.levelEnds = f.integers("levelEnds");
            break;
        case KL_ELEM_SLAB:
            e.level = f.number("level");
            e.thickness = f.number("thickness");
            e.material = f.integer("material");
            break;
        case KL_ELEM_MORPH: e.material = f.integer("material"); break;
        default: break;
    }
    const std::string info = f.text("info");
    KlErr err = KL_NOERROR;
    if (type == KL_ELEM_MORPH) {
        err = createMorph(p, f, e, *guid);
    } else {
        KlMemo memo{};
        pointMemoAt(&memo, parts);
        err = p.createElement(&e, &memo, &*guid);
    }
    if (err != KL_NOERROR) refuse(f.where() + " (" + elementTypeName(type) + ")", reasonOf(err));
    if (!info.empty() && p.setInfoString(&*guid, info.c_str()) != KL_NOERROR) refuse(f.at("info"), "nie przyjęto opisu");
}

void loadGeo(Project& p, const Json& j) {
    const Fields f(j, "geo");
    KlGeoLocation g{};
    g.hasLocation = f.integer("hasLocation");
    g.latitude = f.number("latitude");
    g.longitude = f.number("longitude");
    g.altitude = f.number("altitude");
    g.surveyEasting = f.number("surveyEasting");
    g.surveyNorthing = f.number("surveyNorthing");
    g.surveyElevation = f.number("surveyElevation");
    g.scaleFactor = f.number("scaleFactor");
    copyText(g.crsName, f, "crsName");
    copyText(g.crsDescription, f, "crsDescription");
    copyText(g.geodeticDatum, f, "geodeticDatum");
    copyText(g.verticalDatum, f, "verticalDatum");
    copyText(g.mapProjection, f, "mapProjection");
    copyText(g.mapZone, f, "mapZone");
    if (p.setGeoLocation(g) != KL_NOERROR) refuse("geo", "niepoprawna georeferencja");
}

struct LoadRun {
    Project& project;
    const Json& root;
    std::string error;
};

KlErr loadAll(void* ctx) {
    auto& run = *static_cast<LoadRun*>(ctx);
    try {
        const Fields root(run.root, "plik");
        loadAttributes(run.project, root.get("attributes"));
        const Json& elements = root.array("elements");
        for (size_t i = 0; i < elements.size(); ++i) loadElement(run.project, elements[i], i);
        loadGeo(run.project, root.get("geo"));
        return KL_NOERROR;
    } catch (const Refusal& r) {
        run.error = r.message;
    } catch (const std::exception& e) {
        run.error = std::string("błąd odczytu: ") + e.what();
    }
    return KL_ERR_CANCEL;
}

}  // namespace

std::string loadProject(Project& project, std::string_view jsonText) {
    if (project.elements().size() || !project.journal().done().empty() || !project.journal().undone().empty())
        return "projekt nie jest pusty";
    bool tooDeep = false;
    const Json::parser_callback_t shallow = [&](int depth, Json::parse_event_t, Json&) {
        if (depth > kMaxFileNesting) tooDeep = true;
        return !tooDeep;
    };
    const Json root = Json::parse(jsonText, shallow, false);
    if (tooDeep) return "to nie jest plik projektu: zbyt głębokie zagnieżdżenie JSON";
    if (root.is_discarded()) return "niepoprawny JSON";
    LoadRun run{project, root, {}};
    if (project.undoableCommand("Otwórz projekt", loadAll, &run) != KL_NOERROR)
        return run.error.empty() ? "nie wczytano projektu" : run.error;
    project.forgetHistory();
    return {};
}

std::string loadProjectFile(Project& project, const std::filesystem::path& file) {
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(file, ec);
    if (ec) return "nie ma pliku " + file.string() + " albo nie można go odczytać";
    if (bytes > kMaxProjectFileBytes) return "plik " + file.string() + " jest większy niż 1 GiB";
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<size_t>(bytes), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(text.size())))
        return "nie można odczytać pliku " + file.string();
    const std::string error = loadProject(project, text);
    return error.empty() ? error : file.string() + ": " + error;
}

}  // namespace kl::host
