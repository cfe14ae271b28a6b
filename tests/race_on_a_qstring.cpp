// Must be reported by ThreadSanitizer with tests/tsan.supp: two threads of
// this program on one QString, one growing it while the other reads its
// length, with nothing ordering them. The growing string's new block is
// allocated inside Qt Core, so the race shows that allocation's frames.
// scripts/test-sanitized.sh runs it first and fails if the suppressions
// hide it.
#include <QString>

#include <atomic>
#include <thread>
#include <vector>

namespace {

QString shared = QStringLiteral("x");
std::vector<QString> earlier;  // every block the reader may see, kept to the end
// Relaxed: it orders nothing, as an unguarded handover does not.
std::atomic<int> grown{0};

__attribute__((noinline)) void growTheSharedString() {
    for (int i = 0; i < 200; ++i) {
        earlier.push_back(shared);  // shared, so the next append allocates anew
        shared.append(QLatin1Char('x'));
        grown.store(i + 1, std::memory_order_relaxed);
    }
}

__attribute__((noinline)) int readTheSharedStringsLength() {
    int total = 0;
    while (grown.load(std::memory_order_relaxed) < 200) total += shared.size();
    return total + shared.size();
}

}  // namespace

int main() {
    int total = 0;
    std::thread reader([&total] { total = readTheSharedStringsLength(); });
    std::thread writer(growTheSharedString);
    writer.join();
    reader.join();
    return total > 0 ? 0 : 1;
}
