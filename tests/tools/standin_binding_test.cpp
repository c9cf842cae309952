// The rule by which the stand-in, as terminals' control objects do, takes a service object: the
// release it reports and the methods that release needs.

#include <gtest/gtest.h>

#include <initializer_list>

#include "tools/opos_standin/service_binding.h"

namespace ka::test {
namespace {

using standin::ServiceMethod;

// Every method bound but those named.
standin::ServiceDispids BoundExcept(std::initializer_list<ServiceMethod> missing) {
    standin::ServiceDispids dispids{};
    for (int method = 0; method < standin::kServiceMethodCount; ++method) dispids.ids[method] = method + 1;
    for (ServiceMethod method : missing) dispids.ids[method] = DISPID_UNKNOWN;
    return dispids;
}

TEST(StandInBinding, TheReleaseDecidesWhichMethodsTheServiceObjectNeeds) {
    const auto statistics = {standin::kResetStatistics, standin::kRetrieveStatistics, standin::kUpdateStatistics};
    const auto firmware = {standin::kCompareFirmwareVersion, standin::kUpdateFirmware};
    struct Case {
        long version;
        standin::ServiceDispids dispids;
        bool taken;
    } cases[] = {
        {1005001, BoundExcept({standin::kResetStatistics, standin::kRetrieveStatistics, standin::kUpdateStatistics,
                               standin::kCompareFirmwareVersion, standin::kUpdateFirmware}),
         true},
        {1005001, BoundExcept({standin::kZeroScale}), false},
        {1003000, BoundExcept({standin::kCloseService}), false},
        {2005001, BoundExcept({}), false},
        {5001, BoundExcept({}), false},
        {1008000, BoundExcept(statistics), false},
        {1008000, BoundExcept(firmware), true},
        {1009000, BoundExcept(firmware), false},
        {1014000, BoundExcept({}), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(standin::ServiceObjectAcceptable(c.version, c.dispids), c.taken) << "version " << c.version;
    }
}

}  // namespace
}  // namespace ka::test
