#pragma once
// The RWE wind text analysis with the argument list the wind analysis
// dialog and the buoy download pass (WindTextCall), and the column
// chooser's choice turned into that list.
#include "wind/buoy_download.h"
#include "wind/wind_text_analysis.h"
#include "wind/wind_text_choice.h"

namespace quor::wind {

// buoyLayout: the records come from the buoy download (wind_webflag).
WindTextQuery windTextQuery(const WindTextCall& call, bool buoyLayout);

// File, delimiter, header row and columns of the choice; the dialog adds
// the station, the window and the top percentage.
WindTextCall windTextCall(const WindTextChoice& choice);

// Runs wind_wv on the call; the buoy columns apply while wind_webflag is set.
WindTextResult wind_wv(WindAnalysisContext& ctx, const WindTextCall& call);

}  // namespace quor::wind
