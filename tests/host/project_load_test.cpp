#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host/core/picture_bytes.h"
#include "host/core/project_load.h"

namespace kl::host {
namespace {

using Json = nlohmann::ordered_json;

// An empty project's file with one element of every kind added, each on
// attributes of its own.
Json everyKind() {
    Json j = Json::parse(Project().serialise(true));
    j["attributes"]["layers"].push_back({{"index", 2}, {"name", "GIS_DROGI"}, {"rgb", {0.1, 0.2, 0.3}}, {"fillKind", 0}, {"flags", 1}});
    j["attributes"]["surfaces"].push_back({{"index", 3}, {"name", "Asfalt"}, {"rgb", {0.3, 0.3, 0.3}}, {"fillKind", 0}, {"flags", 0}});
    const Json square = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}};
    const std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    auto element = [&](const char* type, int n) {
        return Json{{"guid", "{0000000" + std::to_string(n) + "-0000-0000-0000-000000000001}"}, {"type", type},
                    {"layer", 2}, {"pen", 3}};
    };
    Json line = element("polyline", 1), hatch = element("hatch", 2), text = element("text", 3),
         picture = element("picture", 4), mesh = element("mesh", 5), slab = element("slab", 6), morph = element("morph", 7);
    line.update({{"closed", 0}, {"arcs", {{1, 2, 0.5}}}, {"coords", {{0, 0}, {1.25, 2}, {3, -1}}}, {"rings", {3}}});
    hatch.update({{"fill", 1}, {"fillPen", 2}, {"backgroundPen", 0}, {"fillColour", {0.5, 0.25, 1}}, {"coords", square},
                  {"rings", {5}}});
    text.update({{"loc", {1, 2}}, {"sizeMm", 2.5}, {"angle", 0.25}, {"anchor", 5}, {"text", "Działka 12/3"}});
    picture.update({{"origin", {-5, -5}}, {"size", {10, 8}}, {"angle", 0}, {"mime", "image/png"}, {"dataBytes", 8},
                    {"dataHash", pictureHash(png)}, {"data", base64Encode(png)}});
    mesh.update({{"level", 0}, {"skirtLevel", 1}, {"material", 3}, {"boundaryZ", {0, 0.5, 1, 0.5, 0}},
                 {"levelPoints", {{1, 1, 0.5}, {2, 1, 0.7}, {3, 3, 1.5}}}, {"levelEnds", {2, 3}}, {"coords", square},
                 {"rings", {5}}});
    slab.update({{"level", 3}, {"thickness", 0.3}, {"material", 1}, {"coords", square}, {"rings", {5}}});
    morph.update({{"material", 3}, {"body", {{"vertices", {{0, 0, 1}, {2, 0, 1.1}, {2, 2, 1.2}}}, {"edges", {{1, 2}, {2, 3}, {3, 1}}},
                                            {"polygons", {{{"edges", {1, 2, 3}}, {"material", 3}}}}}}});
    for (Json* e : {&line, &hatch, &text, &picture, &mesh, &slab, &morph}) {
        (*e)["info"] = "opis";
        j["elements"].push_back(*e);
    }
    j["geo"].update({{"hasLocation", 1}, {"latitude", 51.26}, {"longitude", 15.57}, {"crsName", "EPSG:2180"}});
    return j;
}

// Every kind read back gives the same text; a damaged file is refused whole,
// naming the part, and leaves the project empty.
TEST(ProjectFile, ReadsBackWhatItWroteAndRefusesADamagedFileWhole) {
    struct Case {
        const char* name;
        std::function<std::string(Json&)> damage;  // the file's text
        const char* refusal;                        // nullptr: loads
    };
    const auto edited = [](std::function<void(Json&)> edit) {
        return [edit](Json& j) {
            edit(j);
            return j.dump();
        };
    };
    const Case cases[] = {
        {"every kind", edited([](Json&) {}), nullptr},
        {"not JSON", [](Json& j) { return j.dump().substr(0, 40); }, "niepoprawny JSON"},
        {"nested too deep", [](Json&) { return std::string(100, '[') + std::string(100, ']'); }, "zagnieżdżenie"},
        {"a height written as null (NaN)", edited([](Json& j) { j["elements"][4]["boundaryZ"][1] = nullptr; }),
         "elements[4].boundaryZ[1]: oczekiwano liczby"},
        {"a point of three numbers", edited([](Json& j) { j["elements"][0]["coords"][1] = {1, 2, 3}; }),
         "elements[0].coords[1]: oczekiwano 2"},
        {"a zone colour beyond 1", edited([](Json& j) { j["elements"][1]["fillColour"][2] = 255; }),
         "elements[1].fillColour: składowa koloru"},
        {"no layer", edited([](Json& j) { j["elements"][2].erase("layer"); }), "elements[2]: brak pola \"layer\""},
        {"a ring end past the points", edited([](Json& j) { j["elements"][1]["rings"] = {1000000000}; }),
         "elements[1] (hatch): niepoprawna geometria"},
        {"a count beyond 32 bits", edited([](Json& j) { j["elements"][4]["levelEnds"][1] = 4294967299u; }),
         "elements[4].levelEnds[1]: liczba całkowita poza zakresem"},
        {"heights fewer than outline points", edited([](Json& j) { j["elements"][4]["boundaryZ"].erase(0); }),
         "elements[4].boundaryZ: liczba wysokości"},
        {"a body polygon that does not close", edited([](Json& j) { j["elements"][6]["body"]["polygons"][0]["edges"] = {1, 2, 2}; }),
         "elements[6].body.polygons[0]: wielokąt"},
        {"a picture without its bytes (the page's model)", edited([](Json& j) { j["elements"][3].erase("data"); }),
         "elements[3]: brak bajtów obrazu"},
        {"picture bytes not matching the hash", edited([](Json& j) { j["elements"][3]["dataHash"] = 1; }),
         "elements[3].data: bajty obrazu"},
        {"an unknown surface", edited([](Json& j) { j["elements"][4]["material"] = 99; }),
         "elements[4] (mesh): nieznany indeks"},
        {"one GUID twice", edited([](Json& j) { j["elements"][6]["guid"] = j["elements"][0]["guid"]; }),
         "elements[6] (morph): identyfikator GUID"},
        {"a default attribute changed", edited([](Json& j) { j["attributes"]["fills"][0]["name"] = "Inna"; }),
         "attributes.fills[0]: różni się"},
        {"an attribute index out of order", edited([](Json& j) { j["attributes"]["layers"][1]["index"] = 7; }),
         "attributes.layers[1]: indeks"},
        {"a CRS name longer than its field", edited([](Json& j) { j["geo"]["crsName"] = std::string(300, 'x'); }),
         "geo.crsName: tekst dłuższy"},
    };
    const std::string empty = Project().serialise(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Json j = everyKind();
        const std::string text = c.damage(j);
        Project p;
        const std::string error = loadProject(p, text);
        EXPECT_TRUE(p.journal().done().empty()) << "the history starts empty";
        if (!c.refusal) {
            ASSERT_EQ(error, "");
            const std::string once = p.serialise(true);
            EXPECT_EQ(Json::parse(once), Json::parse(text)) << "nothing lost on the way in";
            Project again;
            ASSERT_EQ(loadProject(again, once), "");
            EXPECT_EQ(again.serialise(true), once);
            EXPECT_EQ(again.elements().size(), 7u);
        } else {
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
            EXPECT_EQ(p.serialise(true), empty) << "nothing of a refused file stays";
        }
    }
}

}  // namespace
}  // namespace kl::host
