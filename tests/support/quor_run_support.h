#pragma once
// What the tests of quor-run share: the program started as a user starts
// it, with a home of its own, and the sites of the Port Phillip example
// copied where a run may write them.
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quor::test {

struct Ran {
    int exit = -1;  // the exit status; -1 when the program did not end by itself
    std::string out, err;
};

// Starts `program` with `args`, the environment `env` (the test's own,
// with HOME in `home` deciding the settings and cache folders, when
// empty; a sanitizer's settings always), and
// waits for its end; `meanwhile` runs once it has started.
Ran runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& home,
               QProcessEnvironment env = {}, const std::function<void(QProcess&)>& meanwhile = {});

// The first `count` sites of the example (all when negative) as the
// shapefile `<folder>/<name>.shp`, every field kept; `times` copies of
// them one after the other.
std::string copyBaySites(const std::string& folder, const std::string& name, std::int64_t count = -1, int times = 1);

// The same sites as the class `layer` of a new GeoPackage at `gpkg`.
void copyBaySitesToGeoPackage(const std::string& gpkg, const std::string& layer, std::int64_t count = -1);

// The point and the fields of every feature of a layer (the only one when
// `layer` is empty) in its order, one text per feature: the point's x and
// y (from fields X and Y where the format keeps it there), then each
// field as "name=value", numbers in their shortest exact form, an empty
// value for none. GDAL reads the dataset.
std::vector<std::string> layerRows(const std::string& dataset, const std::string& layer,
                                   const std::vector<std::string>& fields);

}  // namespace quor::test
