// Counts the tiles and strips libtiff decodes in a process it is preloaded
// into (LD_PRELOAD), by file and block, and writes at the process's end one
// line "FILE BLOCK TIMES" per decoded block into the file QUOR_DECODE_COUNT
// names. A test reads from it how often a raster's blocks were decoded,
// whatever the program's own code does with them.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <utility>

// libtiff's own declarations, so that no development header is needed.
extern "C" {
typedef struct tiff TIFF;
typedef std::int64_t tmsize_t;
const char* TIFFFileName(TIFF*);
}

namespace {

std::mutex& countsMutex() {
    static std::mutex m;
    return m;
}

std::map<std::pair<std::string, std::uint32_t>, unsigned>& counts() {
    static auto* c = new std::map<std::pair<std::string, std::uint32_t>, unsigned>;
    return *c;
}

void record(TIFF* tif, std::uint32_t block) {
    std::lock_guard<std::mutex> lock(countsMutex());
    ++counts()[{TIFFFileName(tif), block}];
}

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

__attribute__((destructor)) void writeCounts() {
    const char* out = std::getenv("QUOR_DECODE_COUNT");
    if (!out) return;
    std::lock_guard<std::mutex> lock(countsMutex());
    if (std::FILE* f = std::fopen(out, "w")) {
        for (const auto& [key, times] : counts()) std::fprintf(f, "%s %u %u\n", key.first.c_str(), key.second, times);
        std::fclose(f);
    }
}

}  // namespace

extern "C" {

tmsize_t TIFFReadEncodedTile(TIFF* tif, std::uint32_t tile, void* buf, tmsize_t size) {
    record(tif, tile);
    return next<tmsize_t (*)(TIFF*, std::uint32_t, void*, tmsize_t)>("TIFFReadEncodedTile")(tif, tile, buf, size);
}

tmsize_t TIFFReadEncodedStrip(TIFF* tif, std::uint32_t strip, void* buf, tmsize_t size) {
    record(tif, strip);
    return next<tmsize_t (*)(TIFF*, std::uint32_t, void*, tmsize_t)>("TIFFReadEncodedStrip")(tif, strip, buf, size);
}

int TIFFReadFromUserBuffer(TIFF* tif, std::uint32_t strile, void* in, tmsize_t inSize, void* out, tmsize_t outSize) {
    record(tif, strile);
    return next<int (*)(TIFF*, std::uint32_t, void*, tmsize_t, void*, tmsize_t)>("TIFFReadFromUserBuffer")(
        tif, strile, in, inSize, out, outSize);
}
}
