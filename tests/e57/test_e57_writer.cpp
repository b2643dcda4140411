#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <random>
#include <tuple>

#include "cloud/e57/e57_writer.h"
#include "cloud/e57/e57_xml.h"
#include "tests/e57/e57_read_back.h"
#include "tests/geodata/sample_files.h"
#include "tests/support/full_disk.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;
using kl::cloud::CloudPoint;

namespace {

class E57Writer : public ::testing::Test {
protected:
    std::string path(const char* name) const { return (dir_.path() / name).string(); }
    size_t filesInDir() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()));
    }
    kl::test::ScratchFolder dir_{"kl_e57"};
};

std::vector<CloudPoint> randomCloud(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> xy(-250.0, 250.0), z(80.0, 140.0);
    std::vector<CloudPoint> pts(n);
    for (auto& p : pts) {
        p = {xy(rng), xy(rng), z(rng), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())};
    }
    return pts;
}

using kl::geo::testing::readWholeFile;

pugi::xml_node scanOf(const pugi::xml_document& doc) { return doc.child("e57Root").child("data3D").child("vectorChild"); }

}  // namespace

TEST_F(E57Writer, NumbersAreTheSinglePrecisionValuesWithSeventeenDigitsInGeneralNotation) {
    // The tests run under a decimal-comma locale; the XML must still use points.
    std::string err;
    ASSERT_TRUE(
        kl::e57::writeE57(path("tenth.e57"), {{0.1, -2.0, 1e6 + 0.25, 0, 0, 0}, {0.2, -1.0, 1e6, 1, 2, 3}}, err))
        << err;
    const auto rb = readE57(path("tenth.e57"));
    ASSERT_TRUE(rb.ok) << rb.error;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(rb.xml.c_str()));
    auto b = scanOf(doc).child("cartesianBounds");
    EXPECT_STREQ(b.child_value("xMinimum"), "0.10000000149011612");
    EXPECT_STREQ(b.child_value("yMinimum"), "-2");
    EXPECT_STREQ(b.child_value("zMaximum"), "1000000.25");
    EXPECT_STREQ(scanOf(doc).child("points").child("prototype").child("cartesianX").attribute("minimum").value(),
                 "0.10000000149011612");
    // General notation without trailing zeros.
    for (const auto& [value, text] : std::vector<std::pair<double, std::string>>{
             {1.0, "1"}, {0.0, "0"}, {-0.5, "-0.5"}, {1e-7, "9.9999999999999995e-08"}, {1e20, "1e+20"}})
        EXPECT_EQ(kl::e57::formatE57Float(value), text);
}

TEST_F(E57Writer, NothingToWriteOrNowhereToWriteIsSaidAndLeavesNoFile) {
    const std::tuple<const char*, std::vector<CloudPoint>, const char*> cases[] = {
        {"none.e57", {}, "Brak punktow do zapisu."},
        {"missing/sub/x.e57", randomCloud(3, 2), "Nie mozna zapisac pliku e57."},
    };
    for (const auto& [name, points, message] : cases) {
        std::string err;
        EXPECT_FALSE(kl::e57::writeE57(path(name), points, err)) << name;
        EXPECT_EQ(err, message);
    }
    EXPECT_EQ(filesInDir(), 0u);
}

TEST_F(E57Writer, FailedWriteKeepsThePreviousFileAndLeavesNoPart) {
    std::string err;
    const auto target = path("import.e57");
    ASSERT_TRUE(kl::e57::writeE57(target, randomCloud(10, 3), err)) << err;
    const std::string before = readWholeFile(target);

    // A file-size limit makes the disk look full half way through the write.
    EXPECT_TRUE(kl::test::holdsWhenDiskFills(64 * 1024, [&] {
        std::string e;
        const bool ok = kl::e57::writeE57(target, randomCloud(200000, 4), e);
        return !ok && e == "Blad zapisu pliku e57 (brak miejsca na dysku?).";
    }));
    EXPECT_EQ(readWholeFile(target), before);
    EXPECT_EQ(filesInDir(), 1u);
}

TEST_F(E57Writer, GuidsComeFromThePointsAndDifferPerFileAndScan) {
    const auto guidsOf = [&](const char* name, const std::vector<CloudPoint>& pts) {
        std::string err;
        EXPECT_TRUE(kl::e57::writeE57(path(name), pts, err)) << err;
        const auto rb = readE57(path(name));
        pugi::xml_document doc;
        doc.load_string(rb.xml.c_str());
        return std::pair<std::string, std::string>{doc.child("e57Root").child("guid").text().get(),
                                                   scanOf(doc).child("guid").text().get()};
    };
    const auto a = guidsOf("a.e57", randomCloud(3000, 11));
    auto moved = randomCloud(3000, 11);
    moved[1234].r ^= 1;  // one colour bit
    const auto b = guidsOf("b.e57", moved);
    EXPECT_EQ(a.first.size(), 38u);
    EXPECT_EQ(a.first[15], '8');  // a version 8 (custom) identifier
    EXPECT_NE(a.first, a.second);
    EXPECT_NE(a.first, b.first);
    EXPECT_NE(a.second, b.second);
}

TEST_F(E57Writer, PointsInPartsMakeTheSameFileAsAllAtOnce) {
    // Part boundaries inside and on packets; a file whose first page is still
    // unwritten when the header is known, and one where it is long written.
    const std::vector<std::vector<size_t>> splits = {{1}, {1, 2}, {1056, 1, 1}, {1057, 3000}, {500, 0, 2000, 1057, 7}};
    for (const auto& parts : splits) {
        size_t total = 0;
        for (size_t n : parts) total += n;
        const auto pts = randomCloud(total, 9);
        std::string err;
        ASSERT_TRUE(kl::e57::writeE57(path("whole.e57"), pts, err)) << err;
        kl::e57::E57StreamWriter writer;
        ASSERT_TRUE(writer.open(path("parts.e57"), err)) << err;
        size_t at = 0;
        for (size_t n : parts) {
            writer.append(pts.data() + at, n);
            writer.settle();
            at += n;
        }
        ASSERT_TRUE(writer.finish(kl::e57::contentGuids(pts), err)) << err;
        EXPECT_EQ(readWholeFile(path("parts.e57")), readWholeFile(path("whole.e57"))) << total;
    }
}

// web-e57 checks the page checksums, the section and every packet as it reads.
TEST_F(E57Writer, IndependentReaderSeesTheSamePointsThatTheXmlCounts) {
    for (const size_t n : {size_t{1}, size_t{5000}}) {
        const auto pts = randomCloud(n, 8);
        std::string err;
        ASSERT_TRUE(kl::e57::writeE57(path("oracle.e57"), pts, err)) << err;
        std::vector<E57Point> read, expected;
        ASSERT_TRUE(readE57Points(path("oracle.e57"), &read)) << "web-e57 failed";
        for (const auto& p : pts)
            expected.push_back({static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z), p.r, p.g, p.b});
        EXPECT_TRUE(read == expected) << "web-e57 gave " << read.size() << " points, other than the " << n << " written";
        const auto rb = readE57(path("oracle.e57"));
        pugi::xml_document doc;
        ASSERT_TRUE(rb.ok && doc.load_string(rb.xml.c_str())) << rb.error;
        EXPECT_EQ(scanOf(doc).child("points").attribute("recordCount").as_ullong(), n);
        EXPECT_EQ(scanOf(doc).child("indexBounds").child("rowMaximum").text().as_ullong(), n - 1);
        EXPECT_EQ(rb.xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><e57Root type=\"Structure\"", 0), 0u);
    }
}
