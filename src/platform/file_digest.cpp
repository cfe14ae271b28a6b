#include "platform/file_digest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::string bytesDigest(std::string_view bytes) {
    Sha256 hash;
    hash.add(bytes.data(), bytes.size());
    return hash.hex();
}

std::string fileDigest(const std::string& path) {
    const auto unreadable = [&] { return FileError(path + " cannot be read: " + std::strerror(errno)); };
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) throw unreadable();
    Sha256 hash;
    constexpr std::size_t kChunk = 1 << 20;
    const auto buffer = std::make_unique<unsigned char[]>(kChunk);
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer.get(), kChunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw unreadable();
        }
        hash.add(buffer.get(), static_cast<std::size_t>(n));
    }
    return hash.hex();
}

std::string filesDigest(const std::vector<std::string>& files) {
    if (files.size() == 1) return fileDigest(files.front());
    std::string lines;
    for (const auto& f : files) lines += fileDigest(f) + "  " + std::filesystem::path(f).filename().string() + "\n";
    return bytesDigest(lines);
}

}  // namespace quor::platform
