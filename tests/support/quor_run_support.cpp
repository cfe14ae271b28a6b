#include "quor_run_support.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogrsf_frmts.h>

#include <charconv>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "test_support.h"

namespace quor::test {

Ran runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& home,
               QProcessEnvironment env, const std::function<void(QProcess&)>& meanwhile) {
    if (env.isEmpty()) {
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", QString::fromStdString(home));
        env.remove("XDG_CONFIG_HOME");
        env.remove("XDG_CACHE_HOME");
        env.remove("QUOR_THREADS");
    }
    // A bare environment still keeps the sanitizer's settings of a run
    // under one: its suppressions are not the program's to drop.
    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"TSAN_OPTIONS", "UBSAN_OPTIONS", "ASAN_OPTIONS", "LSAN_OPTIONS"})
        if (own.contains(name) && !env.contains(name)) env.insert(name, own.value(name));
    QProcess p;
    p.setProcessEnvironment(env);
    QStringList list;
    for (const auto& a : args) list << QString::fromStdString(a);
    p.start(QString::fromStdString(program), list);
    Ran ran;
    if (!p.waitForStarted(30000)) {
        ran.err = "the program did not start: " + p.errorString().toStdString();
        return ran;
    }
    if (meanwhile) meanwhile(p);
    p.waitForFinished(600000);
    ran.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    ran.out = p.readAllStandardOutput().toStdString();
    ran.err = p.readAllStandardError().toStdString();
    return ran;
}

namespace {

void translate(const std::string& dest, std::vector<std::string> options, std::int64_t count, int times = 1) {
    GDALAllRegister();
    const std::string source = portPhillipFolder() + "/sites_portphillip.shp";
    std::unique_ptr<GDALDataset> src(GDALDataset::Open(source.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!src) throw std::runtime_error("cannot read " + source);
    CPLStringList args;
    for (const auto& o : options) args.AddString(o.c_str());
    if (count >= 0) {
        args.AddString("-limit");
        args.AddString(std::to_string(count).c_str());
    }
    for (int t = 0; t < times; ++t) {
        if (t == 1) args.AddString("-append");
        GDALVectorTranslateOptions* opts = GDALVectorTranslateOptionsNew(args.List(), nullptr);
        GDALDatasetH h = GDALDataset::ToHandle(src.get());
        GDALDatasetH out = GDALVectorTranslate(dest.c_str(), nullptr, 1, &h, opts, nullptr);
        GDALVectorTranslateOptionsFree(opts);
        if (!out) throw std::runtime_error("cannot write " + dest);
        GDALClose(out);
    }
}

std::string shortest(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// A number as its shortest exact text, whatever digits it was written with.
std::string exact(const char* text) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0') return text;
    return shortest(v);
}

}  // namespace

std::string copyBaySites(const std::string& folder, const std::string& name, std::int64_t count, int times) {
    const std::string path = folder + "/" + name + ".shp";
    translate(path, {"-f", "ESRI Shapefile", "-nln", name}, count, times);
    return path;
}

void copyBaySitesToGeoPackage(const std::string& gpkg, const std::string& layer, std::int64_t count) {
    translate(gpkg, {"-f", "GPKG", "-nln", layer}, count);
}

std::vector<std::string> layerRows(const std::string& dataset, const std::string& layer,
                                   const std::vector<std::string>& fields) {
    GDALAllRegister();
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(dataset.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds) throw std::runtime_error("cannot read " + dataset);
    OGRLayer* l = layer.empty() && ds->GetLayerCount() == 1 ? ds->GetLayer(0) : ds->GetLayerByName(layer.c_str());
    if (!l) throw std::runtime_error(dataset + " has no layer " + layer);
    std::vector<std::string> rows;
    l->ResetReading();
    while (std::unique_ptr<OGRFeature> f{l->GetNextFeature()}) {
        std::string row;
        const OGRGeometry* g = f->GetGeometryRef();
        if (g && wkbFlatten(g->getGeometryType()) == wkbPoint)
            row += "x=" + shortest(g->toPoint()->getX()) + "\ty=" + shortest(g->toPoint()->getY()) + "\t";
        for (const char* xy : {"X", "Y"}) {
            const int i = g ? -1 : f->GetFieldIndex(xy);
            if (i >= 0) row += std::string(xy[0] == 'X' ? "x=" : "y=") + exact(f->GetFieldAsString(i)) + "\t";
        }
        for (const auto& name : fields) {
            const int i = f->GetFieldIndex(name.c_str());
            row += name + "=";
            if (i < 0)
                row += "<no field>";
            else if (f->IsFieldSetAndNotNull(i) && f->GetFieldDefnRef(i)->GetType() == OFTReal)
                row += shortest(f->GetFieldAsDouble(i));
            else if (f->IsFieldSetAndNotNull(i))
                row += exact(f->GetFieldAsString(i));
            row += "\t";
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace quor::test
