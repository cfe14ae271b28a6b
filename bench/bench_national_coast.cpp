// quor-run on a national coast: distinct random sites inside the bay's
// water and bathymetry (bench/random_coast.h, a fixed seed), on each route
// a user's sites take (a shapefile, a GeoPackage layer), for RWE and REI on
// the clipping and on the fast path, each run the program from its start
// to its end with the settings' defaults, results written in place into a
// fresh copy of the sites. The bay's own sites ten times over (Coast:bay)
// stay as the second case.
//
// Counters: "Speedup" runs 10,000 sites (the bay's 10,150) on one thread
// and on 8, paired, best of the repetitions: t1_s, t8_s, speedup, and
// commit_us_per_site, the processor time of the program's main thread
// (the one that reads and commits the sites) per site at 8 threads,
// sampled from /proc every 2 ms. "Wall300k" times 300,000 sites on 8
// threads (minutes on a loaded machine: run it by name). "StartUp" is a
// one-site run (default threads), median of 5, its wall-clock time and
// the processor time of all its threads; checksum_s is what gdalinfo
// -checksum takes (one thread) on the same raster, from GDAL's own code.
// Every run has the same home, which lasts the whole benchmark, and with it
// the program's cache: the first run reads the bay's raster whole, the
// later ones take what that reading found.
//
// "BigRaster" is a one-site REI run on the fast path on a large bathymetry
// over the bay, made in the temporary folder and deleted after: 800 MB and
// 2 GB uncompressed in 256-cell tiles, and about 200 MB deflated. After a
// first run, which reads the raster whole, and one more, the median of 5
// runs' processor time (all threads) against that of `gdalinfo -checksum`
// on the raster (cpu_ratio), and the same runs with --output (output_cpu_s:
// the part record's digest of the raster costs nothing more). With
// QUOR_BENCH_OTHER naming another quor-run, each of its runs is paired with
// this build's, in a home of its own (other_*). Run it by name.
//
// QUOR_BENCH_PROGRAM names another quor-run to time (another build, for
// figures paired against it); QUOR_BENCH_SAY lets it speak on standard error.
//
// The data set is the example that comes with the checkout; without it
// every case is skipped.
#include <benchmark/benchmark.h>

#include <cpl_string.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <gdal_utils.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bay_data.h"
#include "random_coast.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

enum Kind { RweClip, RweFast, ReiClip, ReiFast };
const char* const kKindNames[] = {"RweClip", "RweFast", "ReiClip", "ReiFast"};

struct Ran {
    double seconds = 0;
    double mainThreadCpu = 0;  // seconds
    double cpu = 0;            // seconds, every thread of the program
    int exit = -1;
};

double mainThreadCpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(text.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stoll(field);
        if (i == 15) stime = std::stoll(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

const char* program() {
    const char* other = std::getenv("QUOR_BENCH_PROGRAM");
    return other && *other ? other : QUOR_RUN_PROGRAM;
}

// One run of the program, its main thread's processor time read until it ends.
Ran runProgram(const std::vector<std::string>& args, const std::string& home, const char* executable = program()) {
    std::vector<std::string> env{"HOME=" + home, "QT_QPA_PLATFORM=offscreen"};
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("HOME=", 0) != 0 && v.rfind("QUOR_THREADS=", 0) != 0 && v.rfind("XDG_CONFIG_HOME=", 0) != 0 &&
            v.rfind("XDG_CACHE_HOME=", 0) != 0)
            env.push_back(v);
    }
    std::vector<char*> argv{const_cast<char*>(executable)}, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!std::getenv("QUOR_BENCH_SAY"))
        for (int fd : {1, 2}) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0);
    Ran ran;
    pid_t pid = 0;
    const auto t0 = std::chrono::steady_clock::now();
    if (posix_spawnp(&pid, executable, &actions, nullptr, argv.data(), envp.data()) != 0) return ran;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    for (;;) {
        const double cpu = mainThreadCpu(pid);
        if (cpu >= 0) ran.mainThreadCpu = cpu;
        rusage usage{};
        if (wait4(pid, &status, WNOHANG, &usage) == pid) {
            ran.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ran.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ran.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

struct Coasts {
    std::string data;
    std::string root;
    std::map<std::string, std::string> made;  // name -> dataset
    int copies = 0;

    explicit Coasts(std::string folder) : data(std::move(folder)) {
        GDALAllRegister();
        root = (fs::temp_directory_path() / ("quor_bench_national_" + std::to_string(::getpid()))).string();
        fs::remove_all(root);
        fs::create_directories(root + "/home");
    }
    ~Coasts() { fs::remove_all(root); }

    // The coast `name` ("bay" the bay ten times, else a count of random
    // sites) on a route, made once.
    std::string coast(const std::string& name, bool geoPackage) {
        const std::string key = name + (geoPackage ? ".gpkg" : ".shp");
        if (auto it = made.find(key); it != made.end()) return it->second;
        const std::string folder = root + "/coast-" + name + (geoPackage ? "-gpkg" : "-shp");
        fs::create_directories(folder);
        const std::string path = folder + (geoPackage ? "/sites.gpkg" : "/sites.shp");
        if (name == "bay") {
            std::unique_ptr<GDALDataset> src(GDALDataset::Open((data + "/sites_portphillip.shp").c_str(),
                                                               GDAL_OF_VECTOR | GDAL_OF_READONLY));
            for (int t = 0; t < 10; ++t) {
                CPLStringList args;
                for (const char* a : {"-f", geoPackage ? "GPKG" : "ESRI Shapefile", "-nln", "sites"}) args.AddString(a);
                if (t > 0) args.AddString("-append");
                GDALVectorTranslateOptions* opts = GDALVectorTranslateOptionsNew(args.List(), nullptr);
                GDALDatasetH h = GDALDataset::ToHandle(src.get());
                GDALClose(GDALVectorTranslate(path.c_str(), nullptr, 1, &h, opts, nullptr));
                GDALVectorTranslateOptionsFree(opts);
            }
        } else {
            quor::bench::writeRandomCoast(data, path, std::stoi(name));
        }
        return made[key] = path;
    }

    // A fresh copy of a coast, which a run writes its results into.
    std::string fresh(const std::string& coastPath) {
        const fs::path from(coastPath);
        const std::string folder = root + "/run" + std::to_string(++copies);
        fs::create_directories(folder);
        for (const auto& e : fs::directory_iterator(from.parent_path()))
            fs::copy_file(e.path(), folder + "/" + e.path().filename().string());
        return folder + "/" + from.filename().string();
    }
    void drop(const std::string& sites) { fs::remove_all(fs::path(sites).parent_path()); }

    Ran run(Kind kind, const std::string& coastPath, int threads) {
        const bool rei = kind == ReiClip || kind == ReiFast;
        const bool fast = kind == RweFast || kind == ReiFast;
        const std::string sites = fresh(coastPath);
        std::vector<std::string> args{rei ? "rei" : "rwe",
                                      "--defaults",
                                      fast ? "--fast" : "--clip",
                                      "--shoreline", data + "/water_portphillip.shp",
                                      "--bathymetry", data + "/bathy_portphillip_m.tif",
                                      "--wind", data + (rei ? "/sample.Wind_REI" : "/sample_56.Wind_RWE"),
                                      "--sites", sites, "--quiet"};
        if (threads > 0) args.insert(args.end(), {"--threads", std::to_string(threads)});
        if (sites.size() > 5 && sites.substr(sites.size() - 5) == ".gpkg") args.insert(args.end(), {"--layer", "sites"});
        const Ran ran = runProgram(args, root + "/home");
        drop(sites);
        return ran;
    }
};

std::unique_ptr<Coasts> theCoasts;

Coasts* coasts() {
    if (!theCoasts)
        if (auto folder = bayFolder()) theCoasts = std::make_unique<Coasts>(*folder);
    return theCoasts.get();
}

// args: kind, geoPackage, coast (0 random 10,000; 1 the bay ten times)
void BM_Speedup(benchmark::State& st) {
    Coasts* c = coasts();
    if (!c) return st.SkipWithError(kBayMissing);
    const Kind kind = static_cast<Kind>(st.range(0));
    const bool bay = st.range(2) == 1;
    const std::string coast = c->coast(bay ? "bay" : "10000", st.range(1) == 1);
    const double sites = bay ? 10150 : 10000;
    double best1 = 1e300, best8 = 1e300, bestCommit = 1e300, bestSpeedup = 0;
    for (auto _ : st) {
        const Ran one = c->run(kind, coast, 1);
        const Ran eight = c->run(kind, coast, 8);
        if (one.exit != 0 || eight.exit != 0) return st.SkipWithError("quor-run failed");
        st.SetIterationTime(one.seconds + eight.seconds);
        best1 = std::min(best1, one.seconds);
        best8 = std::min(best8, eight.seconds);
        bestSpeedup = std::max(bestSpeedup, one.seconds / eight.seconds);
        bestCommit = std::min(bestCommit, eight.mainThreadCpu / sites * 1e6);
    }
    st.counters["t1_s"] = best1;
    st.counters["t8_s"] = best8;
    st.counters["speedup"] = bestSpeedup;
    st.counters["commit_us_per_site"] = bestCommit;
    st.SetLabel(std::string(kKindNames[kind]) + (st.range(1) ? " GeoPackage" : " shapefile") +
                (bay ? " bay x10" : " random 10,000"));
}

void BM_Wall300k(benchmark::State& st) {
    Coasts* c = coasts();
    if (!c) return st.SkipWithError(kBayMissing);
    const Kind kind = static_cast<Kind>(st.range(0));
    const std::string coast = c->coast("300000", st.range(1) == 1);
    double best = 1e300, commit = 0;
    for (auto _ : st) {
        const Ran eight = c->run(kind, coast, 8);
        if (eight.exit != 0) return st.SkipWithError("quor-run failed");
        st.SetIterationTime(eight.seconds);
        if (eight.seconds < best) best = eight.seconds, commit = eight.mainThreadCpu / 300000 * 1e6;
    }
    st.counters["t8_s"] = best;
    st.counters["commit_us_per_site"] = commit;
    st.SetLabel(std::string(kKindNames[kind]) + (st.range(1) ? " GeoPackage" : " shapefile"));
}

void BM_StartUp(benchmark::State& st) {
    Coasts* c = coasts();
    if (!c) return st.SkipWithError(kBayMissing);
    const Kind kind = static_cast<Kind>(st.range(0));
    const std::string coast = c->coast("1", st.range(1) == 1);
    std::vector<double> times, cpus, checksums;
    for (auto _ : st) {
        const Ran one = c->run(kind, coast, 0);
        if (one.exit != 0) return st.SkipWithError("quor-run failed");
        st.SetIterationTime(one.seconds);
        times.push_back(one.seconds);
        cpus.push_back(one.cpu);
        // gdalinfo -checksum's work, GDAL's own code on a fresh dataset.
        const auto t0 = std::chrono::steady_clock::now();
        std::unique_ptr<GDALDataset> ds(
            GDALDataset::Open((c->data + "/bathy_portphillip_m.tif").c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
        GDALChecksumImage(ds->GetRasterBand(1), 0, 0, ds->GetRasterXSize(), ds->GetRasterYSize());
        // Closing the dataset lets its blocks go from GDAL's cache.
        ds.reset();
        checksums.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    std::sort(checksums.begin(), checksums.end());
    std::sort(cpus.begin(), cpus.end());
    st.counters["one_site_cpu_s"] = cpus[cpus.size() / 2];
    st.counters["cpu_ratio"] = cpus[cpus.size() / 2] / checksums[checksums.size() / 2];
    st.counters["one_site_s"] = times[times.size() / 2];
    st.counters["checksum_s"] = checksums[checksums.size() / 2];
    st.counters["ratio"] = times[times.size() / 2] / checksums[checksums.size() / 2];
    st.SetLabel(std::string(kKindNames[kind]) + (st.range(1) ? " GeoPackage" : " shapefile"));
}

// A bathymetry over the bay's extent, `width` cells wide, the bay's own
// depths (nearest cell) with a little noise in their last digits, as a
// survey's have.
bool writeBigBathymetry(const std::string& bay, const std::string& path, int width, bool deflate) {
    std::unique_ptr<GDALDataset> src(GDALDataset::Open(bay.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    const int bw = src->GetRasterXSize(), bh = src->GetRasterYSize();
    std::vector<float> cells(static_cast<std::size_t>(bw) * bh);
    if (src->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, bw, bh, cells.data(), bw, bh, GDT_Float32, 0, 0) != CE_None)
        return false;
    const double noData = src->GetRasterBand(1)->GetNoDataValue();
    const int height = static_cast<int>(static_cast<long long>(width) * bh / bw);
    CPLStringList options;
    for (const char* o : {"TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", "BIGTIFF=YES"}) options.AddString(o);
    if (deflate) options.AddString("COMPRESS=DEFLATE");
    std::unique_ptr<GDALDataset> out(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.c_str(), width, height, 1, GDT_Float32, options.List()));
    if (!out) return false;
    double gt[6];
    src->GetGeoTransform(gt);
    gt[1] *= static_cast<double>(bw) / width;
    gt[5] *= static_cast<double>(bh) / height;
    out->SetGeoTransform(gt);
    out->SetSpatialRef(src->GetSpatialRef());
    out->GetRasterBand(1)->SetNoDataValue(noData);
    std::vector<float> rows(static_cast<std::size_t>(width) * 256);
    for (int y0 = 0; y0 < height; y0 += 256) {
        const int h = std::min(256, height - y0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < width; ++x) {
                const float v = cells[static_cast<std::size_t>((y0 + y) * static_cast<long long>(bh) / height) * bw +
                                      static_cast<std::size_t>(x * static_cast<long long>(bw) / width)];
                const unsigned noise = (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y0 + y) * 19349663u);
                rows[static_cast<std::size_t>(y) * width + x] = v == noData ? v : v - 0.001f * static_cast<float>(noise % 97);
            }
        if (out->GetRasterBand(1)->RasterIO(GF_Write, 0, y0, width, h, rows.data(), width, h, GDT_Float32, 0, 0) !=
            CE_None)
            return false;
    }
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// args: 0 800 MB uncompressed, 1 2 GB uncompressed, 2 about 200 MB deflated
void BM_BigRaster(benchmark::State& st) {
    Coasts* c = coasts();
    if (!c) return st.SkipWithError(kBayMissing);
    const int widths[] = {13944, 22048, 12900};
    const bool deflate = st.range(0) == 2;
    const std::string raster = c->root + "/big.tif";
    if (!writeBigBathymetry(c->data + "/bathy_portphillip_m.tif", raster, widths[st.range(0)], deflate))
        return st.SkipWithError("the raster could not be written");
    const std::string coast = c->coast("1", false);
    const char* other = std::getenv("QUOR_BENCH_OTHER");
    std::vector<const char*> programs{program()};
    if (other && *other) programs.push_back(other);
    const auto run = [&](std::size_t p, bool output) {
        const std::string sites = c->fresh(coast);
        std::vector<std::string> args{"rei", "--defaults", "--fast", "--bathymetry", raster, "--wind",
                                      c->data + "/sample.Wind_REI", "--sites", sites, "--quiet"};
        if (output) args.insert(args.end(), {"--output", fs::path(sites).parent_path().string() + "/out.gpkg"});
        const std::string home = c->root + "/big-home" + std::to_string(p);
        fs::create_directories(home);
        const Ran ran = runProgram(args, home, programs[p]);
        c->drop(sites);
        return ran;
    };
    std::vector<std::vector<double>> cpu(programs.size()), withOutput(programs.size());
    std::vector<double> first(programs.size()), checksum;
    for (std::size_t p = 0; p < programs.size(); ++p) {
        first[p] = run(p, false).cpu;
        run(p, false);
    }
    for (auto _ : st) {
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const Ran plain = run(p, false), out = run(p, true);
            if (plain.exit != 0 || out.exit != 0) return st.SkipWithError("quor-run failed");
            cpu[p].push_back(plain.cpu);
            withOutput[p].push_back(out.cpu);
        }
        checksum.push_back(runProgram({"-checksum", raster}, c->root, "gdalinfo").cpu);
        st.SetIterationTime(cpu[0].back());
    }
    st.counters["MB"] = static_cast<double>(fs::file_size(raster)) / 1e6;
    fs::remove(raster);
    st.counters["checksum_cpu_s"] = median(checksum);
    for (std::size_t p = 0; p < programs.size(); ++p) {
        const std::string name = p == 0 ? "" : "other_";
        st.counters[name + "first_cpu_s"] = first[p];
        st.counters[name + "cpu_s"] = median(cpu[p]);
        st.counters[name + "output_cpu_s"] = median(withOutput[p]);
        st.counters[name + "cpu_ratio"] = median(cpu[p]) / median(checksum);
    }
    st.SetLabel(deflate ? "deflate" : "uncompressed");
}

BENCHMARK(BM_StartUp)->ArgsProduct({{RweClip, RweFast, ReiClip, ReiFast}, {0, 1}})->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Speedup)->ArgsProduct({{RweClip, RweFast, ReiClip, ReiFast}, {0, 1}, {0, 1}})->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_BigRaster)->DenseRange(0, 2)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Wall300k)->ArgsProduct({{RweClip, RweFast, ReiClip, ReiFast}, {0, 1}})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
