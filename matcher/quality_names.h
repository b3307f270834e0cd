#pragma once
// The search settings by the names the front ends take ("default", "high"). A new setting is one
// line of the table.

#include <cstring>

#include "matcher/matcher.h"

namespace gck {

struct QualityName {
  const char* name;
  Quality quality;
};

constexpr QualityName kQualityNames[] = {
    {"default", Quality::kDefault},
    {"high", Quality::kHigh},
};

// The setting called `name`; false when no setting has that name.
inline bool QualityNamed(const char* name, Quality* quality) {
  for (const QualityName& entry : kQualityNames) {
    if (std::strcmp(entry.name, name) == 0) {
      *quality = entry.quality;
      return true;
    }
  }
  return false;
}

}  // namespace gck
