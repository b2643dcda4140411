#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "base/service_hosts.h"
#include "base/worker_registry.h"
#include "cloud/controller/cloud_controller.h"
#include "cloud/controller/cloud_frame.h"
#include "geodata/polish_crs.h"
#include "host/core/executor.h"
#include "host/core/workbench.h"
#include "tests/cloud/demo_geoportal.h"
#include "tests/net/fault_server.h"
#include "tests/support/host_binding.h"
#include "tests/support/scratch_folder.h"
#include "tools/geoportal/demo_area.h"
#include "tools/geoportal/geoportal_server.h"

using nlohmann::json;
using kl::cloud::CloudController;

namespace {

// A main thread of the test's own: posted tasks wait until pumped.
class TestEnvironment {
public:
    // Every request goes to serviceOrigin; by default nothing listens there, so
    // every index request fails at once.
    kl::cloud::CloudEnvironment make(const std::filesystem::path& dir,
                                     const std::string& serviceOrigin = "http://127.0.0.1:1") {
        kl::cloud::CloudEnvironment env(kl::settings::serviceHostsWithOverride(serviceOrigin));
        env.send = [this](const std::string& type, json obj) {
            obj["type"] = type;
            sent.push_back(obj);
        };
        env.post = [this](std::function<void()> task, std::function<void()> onFailure) {
            return mainThread_.post(std::move(task), std::move(onFailure));
        };
        env.outputDir = (dir / "out").string();
        env.keepDir = (dir / "keep").string();
        env.currentYear = 2026;
        env.timings.connectTimeoutMs = 300;
        env.timings.retryDelayMs = 1;
        return env;
    }

    // Only a posted task can change pred, so between runs the thread waits for
    // the next post (a hang is the test runner's time-out).
    void pumpUntil(const std::function<bool()>& pred) {
        while (!pred()) mainThread_.runFor(std::chrono::hours(1));
    }

    const json* last(const std::string& type) const {
        for (auto it = sent.rbegin(); it != sent.rend(); ++it)
            if ((*it)["type"] == type) return &*it;
        return nullptr;
    }

    std::vector<json> sent;

private:
    kl::host::MainThreadExecutor mainThread_;
};

// A frame of about 100 m x 100 m in Kraków.
json hectare(const char* detail) {
    return {{"type", "frameEstimate"}, {"bboxWgs84", {19.9360, 50.0610, 19.9374, 50.0619}}, {"detail", detail}};
}

class CloudControllerTest : public ::testing::Test {
protected:
    const kl::test::ScratchFolder scratch_{"kl_cloudctl"};
    const std::filesystem::path dir_ = scratch_.path();
    TestEnvironment env_;
    std::unique_ptr<CloudController> controller_ = std::make_unique<CloudController>(env_.make(dir_));
};

}  // namespace

TEST(CloudFrame, MessageFormsThatAreRefused) {
    EXPECT_TRUE(kl::cloud::cloudFrameFromMessage(hectare("lekki")));
    for (const json& bad : {json{{"bboxWgs84", {19.9, 50.0, 19.95}}}, json{{"bboxWgs84", {19.9, 50.0, 19.95, 50.1, 1}}},
                            json{{"bboxWgs84", {"19.9", 50.0, 19.95, 50.1}}}, json{{"bboxWgs84", {19.95, 50.0, 19.9, 50.1}}},
                            json{{"bboxWgs84", {19.9, 50.1, 19.95, 50.1}}}, json{{"bboxWgs84", {2.0, 48.8, 2.1, 48.9}}},
                            json{{"bboxWgs84", "19.9,50,19.95,50.1"}}, json::object()})
        EXPECT_FALSE(kl::cloud::cloudFrameFromMessage(bad)) << bad.dump();
}

TEST_F(CloudControllerTest, EstimateUsesTheFrameAreaAndTheCurrentDensity) {
    const auto frame = kl::cloud::cloudFrameFromMessage(hectare("lekki"));
    ASSERT_TRUE(frame);
    const double area = (frame->pl1992.maxX - frame->pl1992.minX) * (frame->pl1992.maxY - frame->pl1992.minY);
    const json light = controller_->onFrameEstimate(hectare("lekki"));
    EXPECT_EQ(light["type"], "estimateDone");
    EXPECT_EQ(light["points"].get<int64_t>(), static_cast<int64_t>(area / 0.25 + 0.5));
    EXPECT_EQ(light["density"].get<double>(), CloudController::kInitialDensity);
    const json full = controller_->onFrameEstimate(hectare("full"));
    EXPECT_EQ(full["points"].get<int64_t>(), static_cast<int64_t>(area * CloudController::kInitialDensity + 0.5));
    EXPECT_FALSE(full["overLimit"].get<bool>());
    EXPECT_EQ(controller_->onFrameEstimate(hectare("extra"))["points"], controller_->onFrameEstimate(hectare("standard"))["points"]);
    EXPECT_EQ(controller_->onFrameEstimate({{"bboxWgs84", {1, 2, 3}}})["msg"], "Nieprawidlowy bbox");
}


TEST_F(CloudControllerTest, QuickEstimatesShareOneWorkerThatAsksForTheNewestFrame) {
    // An index that holds every request unanswered keeps every worker busy.
    auto index = std::make_unique<kl::test::FaultServer>();
    index->stalls("/.*");
    controller_ = std::make_unique<CloudController>(env_.make(dir_, index->url("")));

    const auto liveThreads = [] {
        using Tasks = std::filesystem::directory_iterator;
        return std::distance(Tasks("/proc/self/task"), Tasks());
    };
    const auto before = liveThreads();
    for (int i = 0; i < 300; ++i) controller_->onFrameEstimate(hectare(i % 2 ? "lekki" : "full"));
    EXPECT_LE(liveThreads(), before + 1);
    // Stopping the index ends the held request; the worker then ends, which
    // the registry's join shows.
    index.reset();
    const auto ended = kl::WorkerRegistry::instance().shutdown();
    kl::WorkerRegistry::instance().reopen();
    EXPECT_EQ(ended.abandoned, 0u);
    EXPECT_LE(liveThreads(), before);
}

TEST_F(CloudControllerTest, DownloadWithoutIndexSaysTheServiceFailed) {
    EXPECT_TRUE(controller_->onDownload(hectare("standard")).is_null());
    EXPECT_TRUE(controller_->busy());
    const json second = controller_->onDownload(hectare("standard"));
    EXPECT_EQ(second["msg"], "Trwa pobieranie danych - sprobuj za chwile");
    env_.pumpUntil([&] { return env_.last("downloadDone") != nullptr; });
    const json* done = env_.last("downloadDone");
    EXPECT_FALSE((*done)["ok"].get<bool>());
    // Nothing answered, so whether the area has data is unknown.
    EXPECT_EQ((*done)["msg"].get<std::string>().rfind("Serwis skorowidza LiDAR nie odpowiada poprawnie (rok 2027: ", 0), 0u)
        << (*done)["msg"];
    EXPECT_FALSE(controller_->busy());
    EXPECT_EQ(env_.sent.front()["label"], "Pobieranie skorowidza LiDAR");
}

TEST_F(CloudControllerTest, SetOriginWritesTheZoneSurveyPointAndLocation) {
    kl::host::Workbench wb;
    bindAddonToHost(&kl::host::Workbench::hostTable());
    CloudController& controller = *controller_;
    EXPECT_EQ(controller.onSetOrigin({{"lat", 50.06}})["msg"], "Brak wspolrzednych srodka mapy");
    const json berlin = controller.onSetOrigin({{"lat", 52.52}, {"lon", 13.405}});
    EXPECT_EQ(berlin["msg"], "Srodek mapy lezy poza Polska - lokalizacje projektu mozna ustawic tylko w Polsce.");
    EXPECT_EQ(wb.project().geoLocation().surveyEasting, 0);
    const json reply = controller.onSetOrigin({{"lat", 50.0614}, {"lon", 19.9366}});
    ASSERT_EQ(reply["type"], "originSet") << reply.dump();
    const auto p92 = kl::geo::wgs84ToPl1992(50.0614, 19.9366);
    const auto en = kl::geo::pl1992ToPl2000(p92.x, p92.y, 2178);
    EXPECT_NEAR(reply["e"].get<double>(), en.x, 1e-6);
    const auto& geo = wb.project().geoLocation();
    EXPECT_STREQ(geo.crsName, "EPSG:2178");
    EXPECT_STREQ(geo.mapProjection, "PL-2000");
    EXPECT_NEAR(geo.surveyNorthing, en.y, 1e-6);
    // The location moves with the survey point, or the two would name different places.
    EXPECT_DOUBLE_EQ(geo.latitude, 50.0614);
    EXPECT_DOUBLE_EQ(geo.longitude, 19.9366);
    ASSERT_FALSE(wb.report().empty());
    EXPECT_NE(wb.report().back().text.find("(PL-2000, EPSG:2178)"), std::string::npos);

    wb.faults().arm({"SetGeoLocation", 1, KL_ERR_GENERAL, true, 0});
    EXPECT_EQ(controller.onSetOrigin({{"lat", 50.0614}, {"lon", 19.9366}})["msg"].get<std::string>().rfind(
                  "Nie udalo sie zapisac georeferencji projektu (kod ", 0),
              0u);
    wb.faults().clear();
    wb.faults().arm({"GetGeoLocation", 1, KL_ERR_GENERAL, false, 0});
    EXPECT_EQ(controller.onSetOrigin({{"lat", 50.0614}, {"lon", 19.9366}})["msg"], "Nie mozna odczytac georeferencji projektu");
    bindAddonToHost(nullptr);
}

// Against the local geoportal with a sparse demo cloud: how the reply tells of
// skipped tiles, when a LAZ copy is made, and a copy that cannot be kept.
class CloudControllerDemo : public kl::cloud::test::DemoGeoportal {};

TEST_F(CloudControllerDemo, TheReplySaysWhatWasMadeAndWhatWasLeftOut) {
    ::setenv("KL_DIAG_DIR", (dir_ / "diag").c_str(), 1);
    kl::host::Workbench wb;
    bindAddonToHost(&kl::host::Workbench::hostTable());
    TestEnvironment env;
    auto made = env.make(dir_, server_->baseUrl());
    made.currentYear = kl::geoportal::demo::kLidarLastOfferedYear;
    CloudController controller(made);
    const auto download = [&](const json& laz) {
        json msg = {{"type", "download"}, {"bboxWgs84", {15.5680, 51.2615, 15.5700, 51.2627}}, {"detail", "lekki"}};
        if (!laz.is_null()) msg["laz"] = laz;
        env.sent.clear();
        EXPECT_TRUE(controller.onDownload(msg).is_null());
        env.pumpUntil([&] { return env.last("downloadDone") != nullptr; });
        return *env.last("downloadDone");
    };
    // Anything but a real true keeps the E57 alone, without an older cloud's LAZ.
    std::filesystem::create_directories(dir_ / "keep");
    std::ofstream(dir_ / "keep" / "ostatnia_chmura.laz") << "older cloud";
    const json done = download(json("yes"));
    ASSERT_TRUE(done["ok"].get<bool>()) << done.dump();
    EXPECT_EQ(done["msg"].get<std::string>().find("Kopia LAZ"), std::string::npos) << done.dump();
    EXPECT_TRUE(std::filesystem::exists(dir_ / "keep" / "ostatnia_chmura.e57"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "keep" / "ostatnia_chmura.laz"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out" / "import.laz"));
    // The user is told where the file to import is, in the host's alert.
    ASSERT_EQ(wb.alerts().all().size(), 1u);
    const kl::host::AlertRecord& told = wb.alerts().all()[0];
    EXPECT_EQ(told.kind, KL_ALERT_INFORMATION);
    EXPECT_EQ(told.title, "Ordvik Cloud");
    EXPECT_EQ(told.text, "Chmura punktow gotowa i zgrana z projektem.\nZaimportuj ja: Plik > Interoperacyjnosc > "
                         "Chmura punktow -> wskaz plik:\n" + (dir_ / "keep" / "ostatnia_chmura.e57").string());
    EXPECT_EQ(told.buttons, (std::vector<std::string>{"OK", "", ""}));
    kl::geoportal::FaultRule rule;
    rule.fault.kind = kl::geoportal::FaultKind::Status;
    rule.pathPrefix = std::string(kl::geoportal::demo::kLidarTilePathPrefix);
    rule.remaining = 2;  // one tile: its download and the retry
    server_->faults().add(rule);
    std::filesystem::remove_all(dir_ / "cache");
    const json skipped = download(false);
    ASSERT_TRUE(skipped["ok"].get<bool>()) << skipped.dump();
    EXPECT_NE(skipped["msg"].get<std::string>().find(" Uwaga: chmura niepelna - uzyto "), std::string::npos) << skipped;
    // A folder where the copy should go: the rename over it must fail.
    std::filesystem::create_directories(dir_ / "keep" / "ostatnia_chmura.laz" / "x");
    const json refused = download(true);
    EXPECT_FALSE(refused["ok"].get<bool>());
    EXPECT_EQ(refused["msg"].get<std::string>().rfind("Nie udalo sie zapisac chmury punktow w " + (dir_ / "keep").string() + ".", 0), 0u)
        << refused["msg"];
    for (const auto& e : std::filesystem::directory_iterator(dir_ / "keep")) EXPECT_NE(e.path().extension(), ".part");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "keep" / "ostatnia_chmura.laz" / "x"));
    bindAddonToHost(nullptr);
}

// The index tells the real density after the page has already asked for a
// newer frame: that frame's answer stays the last word.
TEST_F(CloudControllerDemo, ALateRefinementOfAnOlderFrameIsDropped) {
    TestEnvironment env;
    auto made = env.make(dir_, server_->baseUrl());
    made.currentYear = kl::geoportal::demo::kLidarLastOfferedYear;
    std::mutex mutex;
    std::condition_variable postedOne;
    std::vector<std::function<void()>> posted;  // held back from the main thread
    made.post = [&](std::function<void()> task, std::function<void()>) {
        std::lock_guard<std::mutex> lock(mutex);
        posted.push_back(std::move(task));
        postedOne.notify_all();
        return true;
    };
    CloudController controller(made);
    controller.onFrameEstimate({{"bboxWgs84", {15.5680, 51.2615, 15.5700, 51.2627}}, {"detail", "full"}});
    std::vector<std::function<void()>> tasks;
    {
        std::unique_lock<std::mutex> lock(mutex);
        postedOne.wait(lock, [&] { return !posted.empty(); });
        tasks = posted;
    }
    EXPECT_EQ(controller.onFrameEstimate(hectare("full"))["type"], "estimateDone");
    for (const auto& task : tasks) task();
    EXPECT_EQ(env.last("estimateDone"), nullptr);
    kl::WorkerRegistry::instance().shutdown();
    kl::WorkerRegistry::instance().reopen();
}
