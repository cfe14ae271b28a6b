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
Ran runProgram(const std::vector<std::string>& args, const std::string& home) {
    std::vector<std::string> env{"HOME=" + home, "QT_QPA_PLATFORM=offscreen"};
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("HOME=", 0) != 0 && v.rfind("QUOR_THREADS=", 0) != 0 && v.rfind("XDG_CONFIG_HOME=", 0) != 0 &&
            v.rfind("XDG_CACHE_HOME=", 0) != 0)
            env.push_back(v);
    }
    std::vector<char*> argv{const_cast<char*>(program())}, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!std::getenv("QUOR_BENCH_SAY")) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Ran ran;
    pid_t pid = 0;
    const auto t0 = std::chrono::steady_clock::now();
    if (posix_spawn(&pid, program(), &actions, nullptr, argv.data(), envp.data()) != 0) return ran;
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

BENCHMARK(BM_StartUp)->ArgsProduct({{RweClip, RweFast, ReiClip, ReiFast}, {0, 1}})->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Speedup)->ArgsProduct({{RweClip, RweFast, ReiClip, ReiFast}, {0, 1}, {0, 1}})->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Wall300k)->ArgsProduct({{RweClip, RweFast, ReiClip, ReiFast}, {0, 1}})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
