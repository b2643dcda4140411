#include "tools/geoportal/demo_addresses.h"

#include "tools/geoportal/crs.h"

#include <array>
#include <utility>

namespace kl::geoportal {

namespace {

// The site's street names are plain ASCII; the geocoders answer with the
// names as the town writes them.
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kStreetNames = {{
    {"Zgorzelecka", "Zgorzelecka"},
    {"Prusa", "Bolesława Prusa"},
    {"Sierpnia 1980", "Sierpnia 1980"},
    {"Mickiewicza", "Adama Mickiewicza"},
    {"Kosciuszki", "Tadeusza Kościuszki"},
    {"Kubika", "Kubika"},
    {"Asnyka", "Adama Asnyka"},
    {"Jana Pawla II", "Jana Pawła II"},
    {"Grunwaldzka", "Grunwaldzka"},
}};

// The market square is the block between Prusa, Sierpnia 1980, Asnyka and
// Jana Pawla II (metres from the south-west corner of the frame).
constexpr double kSquareU = 260, kSquareV = 230;

DemoAddress placed(DemoAddress a, Xy pl1992) {
    const Xy wgs = fromPl1992(4326, pl1992);
    a.lon = wgs.x;
    a.lat = wgs.y;
    return a;
}

Xy siteAt(double u, double v) { return {demo::kMinEasting + u, demo::kMinNorthing + v}; }

std::vector<DemoAddress> buildAddresses() {
    std::vector<DemoAddress> out;
    out.push_back(placed({4100001, 'W', "place", "square", "Rynek", "", ""}, siteAt(kSquareU, kSquareV)));
    out.push_back(placed({4100002, 'W', "amenity", "townhall", "Ratusz", "Rynek", "41"}, siteAt(kSquareU, kSquareV + 20)));
    long long id = 4100100;
    for (const DemoStreet& street : DemoArea::instance().streets()) {
        std::string name = street.name;
        for (const auto& [plain, polish] : kStreetNames)
            if (plain == street.name) name = polish;
        const Xy middle{(street.from.x + street.to.x) / 2, (street.from.y + street.to.y) / 2};
        out.push_back(placed({++id, 'W', "highway", "residential", name, "", ""}, middle));
        // One house a street, by the street's first quarter.
        const Xy house{(3 * street.from.x + street.to.x) / 4 + 10, (3 * street.from.y + street.to.y) / 4 + 10};
        out.push_back(placed({id + 1000, 'N', "building", "house", "", name, "12"}, house));
    }
    return out;
}

// Lower case without Polish diacritics, so that "Bolesławiec" and
// "BOLESLAWIEC" are the same word. Other bytes stay.
std::string folded(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, char>, 18> kLetters = {{
        {"ą", 'a'}, {"ć", 'c'}, {"ę", 'e'}, {"ł", 'l'}, {"ń", 'n'}, {"ó", 'o'}, {"ś", 's'}, {"ź", 'z'}, {"ż", 'z'},
        {"Ą", 'a'}, {"Ć", 'c'}, {"Ę", 'e'}, {"Ł", 'l'}, {"Ń", 'n'}, {"Ó", 'o'}, {"Ś", 's'}, {"Ź", 'z'}, {"Ż", 'z'},
    }};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [letter, plain] : kLetters) {
            if (text.substr(i, letter.size()) != letter) continue;
            out += plain;
            i += letter.size();
            replaced = true;
            break;
        }
        if (replaced) continue;
        const char c = text[i++];
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

bool isWordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (static_cast<unsigned char>(c) & 0x80) != 0;
}

std::vector<std::string> wordsOf(std::string_view text) {
    const std::string f = folded(text);
    std::vector<std::string> words;
    std::string word;
    for (const char c : f) {
        if (isWordByte(c)) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

}  // namespace

const std::vector<DemoAddress>& demoAddresses() {
    static const std::vector<DemoAddress> addresses = buildAddresses();
    return addresses;
}

std::vector<const DemoAddress*> findDemoAddresses(std::string_view query) {
    const std::vector<std::string> wanted = wordsOf(query);
    std::vector<const DemoAddress*> found;
    if (wanted.empty()) return found;
    for (const DemoAddress& place : demoAddresses()) {
        const std::vector<std::string> words = wordsOf(displayName(place));
        bool all = true;
        for (const std::string& w : wanted) {
            bool begins = false;
            for (const std::string& word : words) begins = begins || word.rfind(w, 0) == 0;
            all = all && begins;
        }
        if (all) found.push_back(&place);
    }
    return found;
}

std::string displayName(const DemoAddress& place) {
    std::string out;
    for (const std::string_view part : {std::string_view(place.name), std::string_view(place.housenumber),
                                        std::string_view(place.street), demo::kTownName, demo::kCountyName,
                                        demo::kStateName, demo::kPostcode, demo::kCountryName}) {
        if (part.empty()) continue;
        if (!out.empty()) out += ", ";
        out += part;
    }
    return out;
}

}  // namespace kl::geoportal
