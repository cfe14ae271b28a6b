#pragma once
// The model parameters the program starts with, as the shallow-water
// stages read them: one set-up for the stage tests and the benchmarks.
// Header-only and free of the test framework, so benchmarks include it too.
#include "model/model_state.h"

namespace quor::test {

inline void setStartupStageParameters(model::ModelState& st) {
    st.Fetch_first = 1000;
    st.Depth_intg_first = 100;
    st.Depth_intg_second = 100;
    st.Eps = 0.001;
    st.A_goda = 0.17;
    st.goda_slope = 1.909;
    st.bathy_positive = 0;
}

}  // namespace quor::test
