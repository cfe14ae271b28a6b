#pragma once
// The fields the quor-run tests compare of an RWE run's sites.
#include <string>
#include <vector>

#include "wave/rwe_results.h"

namespace quor::test {

// The sites' own SITE_ID and every RWE result field.
inline std::vector<std::string> rweFields() {
    std::vector<std::string> f{"SITE_ID"};
    f.insert(f.end(), wave::kRweResultFields.begin(), wave::kRweResultFields.end());
    return f;
}

}  // namespace quor::test
