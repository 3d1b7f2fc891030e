// How long the reliability tests run: short by default, for CI; the
// environment variable VINTUTIL_STRESS_ROUNDS multiplies their rounds
// (e.g. 20 for a soak of some minutes).
#ifndef VINTUTIL_TESTS_REGISTRY_STRESS_SCALE_H
#define VINTUTIL_TESTS_REGISTRY_STRESS_SCALE_H

#include <stdlib.h>

inline int stressScale() {
  const char* text = getenv("VINTUTIL_STRESS_ROUNDS");
  int scale = text ? atoi(text) : 1;
  return scale > 0 ? scale : 1;
}

#endif
