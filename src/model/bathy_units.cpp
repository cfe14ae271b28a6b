#include "model/bathy_units.h"

#include "platform/ascii_case.h"

namespace quor::model {

float unitFactorOf(const std::string& bathyunits) {
    const std::string u = platform::upperAscii(bathyunits);
    if (u == "CENTIMETER") return 100.0f;
    if (u == "FEET") return 3.281f;
    return 1.0f;
}

std::string unitNameOf(const std::string& bathyunits) {
    const float f = unitFactorOf(bathyunits);
    return f == 100.0f ? "Centimeter" : f == 3.281f ? "Feet" : "Meter";
}

}  // namespace quor::model
