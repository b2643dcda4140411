#pragma once
// The national Urban-Planning Register: the published acts of a commune and
// the zones of one act. Blocking; called from the fetch worker only.
#include "geodata/gis_feature.h"
#include "net/wfs_client.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kl::net {

inline constexpr std::string_view kPlanningRegisterHost = "https://rejestr-urbanistyczny.gov.pl";
inline constexpr std::string_view kGeneralPlanType = "MUNICIPAL_GENERAL_PLAN";
inline constexpr std::string_view kLocalPlanType = "LOCAL_SPATIAL_DEVELOPMENT_PLAN";

// The register's act statuses, as it writes them.
inline constexpr std::string_view kStatusInForce = "prawnie wiążący lub realizowany";
inline constexpr std::string_view kStatusBeingAdopted = "w trakcie przyjmowania";
inline constexpr std::string_view kStatusInPreparation = "w opracowaniu";

// A page of acts is a few kilobytes; an answer far beyond that is not one.
inline constexpr std::size_t kMaxRegisterAnswerBytes = 4u * 1024 * 1024;
inline constexpr int kRegisterPageSize = 10;
inline constexpr int kMaxRegisterPages = 20;

struct PublishedAct {
    std::string id;  // decimal text as the register numbers its acts
    std::string title;
    std::string planType;
    std::string status;
    std::string publishDate;  // compared as text (ISO dates)
    std::string tercCode;
};

struct RegisterQuery {
    std::string teryt;                    // empty: no commune criterion
    std::optional<std::string> parcel;    // a parcel identifier, or none
    std::vector<std::string> planTypes = {std::string(kGeneralPlanType), std::string(kLocalPlanType)};
    int page = 1;
};

// Receives the pause before the next attempt, in milliseconds. The default
// sleeps; tests record instead.
using RegisterWait = std::function<void(int)>;
void sleepBeforeRetry(int ms);

// The query body: compact JSON, keys in sorted order.
std::string registerQueryBody(const RegisterQuery& query);

struct ActsPage {
    std::vector<PublishedAct> acts;
    int refusedEntries = 0;  // list entries that are not act objects
    std::string error;       // Polish, empty when the register answered
};

// One page of acts, three attempts with pauses of 350 and 900 ms. Missing
// fields give empty texts; a number stands for its decimal text.
ActsPage queryPublishedActs(WfsClient& client, const RegisterQuery& query, const RegisterWait& wait = sleepBeforeRetry);

// Every act of the commune's general plan, page after page until a page is
// not full: local plans never crowd the general plan out of the answer.
ActsPage queryGeneralPlans(WfsClient& client, const std::string& teryt, const RegisterWait& wait = sleepBeforeRetry);

// The act of the wanted type to use: in force, else being adopted, else in
// preparation, else one of another status that is not known to be expired;
// among them the latest publication date, the first met on a tie.
std::optional<PublishedAct> selectAct(const std::vector<PublishedAct>& acts, std::string_view planType);

struct ActFeatures {
    std::vector<geo::GisFeature> features;
    std::vector<std::string> warnings;  // features that lost a geometry
    std::string error;                  // Polish, empty when the act's data came
};

// The act's spatial data parsed as the given type. An id that is not all
// digits is refused before any request: it would go into the URL path.
ActFeatures downloadActFeatures(WfsClient& client, const std::string& actId, geo::DataType type,
                                const RegisterWait& wait = sleepBeforeRetry);

}  // namespace kl::net
