#pragma once
// The bathymetry's unit as the project names it, and the factor that
// turns its raster values into metres, for both models.
#include <string>

namespace quor::model {

// "METER" 1, "CENTIMETER" 100, "FEET" 3.281, in any case; any other
// text, an empty one included, is 1.
float unitFactorOf(const std::string& bathyunits);
// The name of the unit that factor stands for: "Meter", "Centimeter" or "Feet".
std::string unitNameOf(const std::string& bathyunits);

}  // namespace quor::model
