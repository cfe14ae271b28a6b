#include "platform/file_digest.h"

#include <cpl_vsi_error.h>
#include <cpl_vsi.h>
#include <openssl/evp.h>

#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/textfile.h"

namespace quor::platform {

namespace {

// OpenSSL's SHA-256 uses the processor's own instructions where it has
// them: a raster is digested at the speed it is read from the page cache.
class Sha256 {
public:
    Sha256() : ctx_(EVP_MD_CTX_new()) {
        if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) != 1)
            throw FileError("SHA-256 is not available.");
    }
    void add(const void* bytes, std::size_t size) { EVP_DigestUpdate(ctx_.get(), bytes, size); }
    std::string hex() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_DigestFinal_ex(ctx_.get(), digest, &size);
        static const char* const digits = "0123456789abcdef";
        std::string out;
        for (unsigned int i = 0; i < size; ++i) {
            out += digits[digest[i] >> 4];
            out += digits[digest[i] & 15];
        }
        return out;
    }

private:
    struct Free {
        void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> ctx_;
};

struct CloseVsi {
    void operator()(VSILFILE* f) const { VSIFCloseL(f); }
};

// The file's path from `folder`, or its name without one; its whole path
// where it lies on another root.
std::string nameFrom(const std::string& file, const std::string& folder) {
    namespace fs = std::filesystem;
    if (folder.empty()) return fs::path(file).filename().string();
    std::error_code ec;
    const fs::path whole = fs::absolute(file, ec).lexically_normal();
    fs::path base = fs::absolute(folder, ec).lexically_normal();
    // "/a/b/" is the folder b, as "/a/b" is.
    if (!base.has_filename()) base = base.parent_path();
    const fs::path relative = whole.lexically_relative(base);
    return relative.empty() ? whole.string() : relative.string();
}

}  // namespace

std::string bytesDigest(std::string_view bytes) {
    Sha256 hash;
    hash.add(bytes.data(), bytes.size());
    return hash.hex();
}

std::string fileDigest(const std::string& path) {
    const auto unreadable = [&] {
        const char* reason = VSIGetLastErrorMsg();
        return FileError(path + " cannot be read" + (reason && *reason ? std::string(": ") + reason : "."));
    };
    VSIErrorReset();
    const std::unique_ptr<VSILFILE, CloseVsi> file(VSIFOpenExL(path.c_str(), "rb", TRUE));
    if (!file) throw unreadable();
    Sha256 hash;
    constexpr std::size_t kChunk = 1 << 20;
    const auto buffer = std::make_unique<unsigned char[]>(kChunk);
    std::uint64_t read = 0;
    for (;;) {
        const std::size_t n = VSIFReadL(buffer.get(), 1, kChunk, file.get());
        hash.add(buffer.get(), n);
        read += n;
        if (n == kChunk) continue;
        // A short read is the end when the file says so (not every kind
        // of virtual file does) or when all its bytes were read.
        VSIStatBufL st;
        if (!VSIFEofL(file.get()) &&
            (VSIStatExL(path.c_str(), &st, VSI_STAT_SIZE_FLAG) != 0 || static_cast<std::uint64_t>(st.st_size) != read))
            throw unreadable();
        return hash.hex();
    }
}

std::string filesDigest(const std::vector<std::string>& files, const std::string& folder) {
    std::vector<std::string> digests;
    for (const auto& f : files) digests.push_back(fileDigest(f));
    return filesDigest(files, digests, folder);
}

std::string filesDigest(const std::vector<std::string>& files, const std::vector<std::string>& digests,
                        const std::string& folder) {
    if (digests.size() == 1) return digests.front();
    std::string lines;
    for (std::size_t i = 0; i < files.size(); ++i) lines += digests[i] + "  " + nameFrom(files[i], folder) + "\n";
    return bytesDigest(lines);
}

}  // namespace quor::platform
