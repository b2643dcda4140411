#pragma once
// An in-test WFS that answers GetFeature from a small list of features, with
// switches for the behaviours county services show: the box axis order it
// reads, paging support, a lower feature cap, WFS 1.1.0 only.
#include "geodata/geometry.h"
#include "tests/net/fault_server.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kl::test {

struct MiniFeature {
    std::string id;                  // empty: no gml:id
    std::vector<geo::Point2d> ring;  // PL-1992, closed; empty for a point feature
    geo::Point2d point;
    std::string teryt;               // written as JPT_KOD_JE when set
};

struct MiniWfsBehaviour {
    bool boxEastingFirst = false;  // reads BBOX as E,N,E,N
    bool refusesPaging = false;    // 400 exception report for STARTINDEX
    bool ignoresStartIndex = false;  // answers the first page whatever STARTINDEX says
    bool only110 = false;          // 2.0.0 requests get an exception report
    bool onlyPl2000 = false;       // answers only requests with SRSNAME
    int cap = 0;                   // at most this many per answer (0: COUNT decides)
    bool withNumberMatched = true;
};

class MiniWfs {
public:
    MiniWfs(FaultServer& server, std::string path, std::string typeName, std::vector<MiniFeature> features,
            MiniWfsBehaviour behaviour = {});

    std::string endpoint() const { return server_.url(path_); }
    // Query parameters (keys lower-cased) of every request, in order.
    std::vector<std::map<std::string, std::string>> requests();
    void setCapabilities(std::string xml) { capabilities_ = std::move(xml); }
    // Answers one request as this service does, for handlers of odder services that wrap it.
    void answer(const httplib::Request& rq, httplib::Response& rs);

private:

    FaultServer& server_;
    std::string path_;
    std::string typeName_;
    std::vector<MiniFeature> features_;
    MiniWfsBehaviour behaviour_;
    std::string capabilities_;
    std::mutex mutex_;
    std::vector<std::map<std::string, std::string>> log_;
};

// A closed square ring with the lower-left corner at (x, y).
std::vector<geo::Point2d> squareRing(double x, double y, double size);

}  // namespace kl::test
