// The test-set export header as the registry holds it: value names in write
// order, each number's member and default, written out independently of the
// library's own table.
#ifndef VINTUTIL_TESTS_RIO_HEADER_VALUES_H
#define VINTUTIL_TESTS_RIO_HEADER_VALUES_H

#include <string.h>

#include <string>

#include "RegistryLayout.h"

namespace riotest {

struct Number {
  const char* name;
  double SRioHeader::*member;
  double storeDefault;  // the writer's differs for "TOL-T2" only
};

inline constexpr Number kNumbers[] = {
    {"RatingV", &SRioHeader::dRatingV, 100.0},
    {"RatingI", &SRioHeader::dRatingI, 1.0},
    {"RatingFreq", &SRioHeader::dRatingFreq, 50.0},
    {"MaxV", &SRioHeader::dMaxV, 120.0},
    {"MaxI", &SRioHeader::dMaxI, 10.0},
    {"I", &SRioHeader::dI, 1.8},
    {"IE", &SRioHeader::dIE, 0.5},
    {"TOL-T1", &SRioHeader::dTolT1, 1.0},
    {"TOL-T2", &SRioHeader::dTolT2, 1.0},
    {"TOL-Z1", &SRioHeader::dTolZ1, 5.0},
    {"TOL-Z2", &SRioHeader::dTolZ2, 0.1},
    {"KS1", &SRioHeader::dKS1, 1.0},
    {"KS2", &SRioHeader::dKS2, 0.0},
    {"ZS1", &SRioHeader::dZS1, 0.259},
    {"ZS2", &SRioHeader::dZS2, 0.966},
    {"RERL", &SRioHeader::dRERL, 1.0},
    {"XEXL", &SRioHeader::dXEXL, 1.0},
    {"Time0Max", &SRioHeader::dTime0Max, 0.1},
    {"LineAngle", &SRioHeader::dLineAngle, 75.0},
};

// The 8 bytes of a double as they lie in memory.
inline std::string DoubleBytes(double value) {
  std::string bytes(sizeof value, '\0');
  memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

}  // namespace riotest

#endif
