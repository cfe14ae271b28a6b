// Must be reported by ThreadSanitizer with tests/tsan.supp, and each
// report counted as this program's by tests/tsan_own_reports.awk: one fault
// of every kind the sanitizer tells, made by this program's own code.
// scripts/test-sanitized.sh runs it first and fails unless each is.
//  - Two threads on one QString, one growing it while the other reads its
//    length, with nothing ordering them. The growing string's new block is
//    allocated inside Qt Core, so the race shows that allocation's frames.
//  - A mutex unlocked that no one holds.
//  - A signal handler that allocates, as a stop request's handler must not.
//  - A thread that ends and is never joined.
#include <QString>

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// Not in an anonymous namespace: the sanitizers name a function of one
// short, without the namespace an entry of the suppression file may name.
namespace quor::test {

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

std::mutex nobodysMutex;

__attribute__((noinline)) void unlockTheMutexNobodyHolds() { nobodysMutex.unlock(); }

char* volatile allocatedInTheHandler = nullptr;

__attribute__((noinline)) void allocateInTheSignalHandler(int) { allocatedInTheHandler = new char[16]; }

// The signal comes from another thread while this one waits, as a stop
// request comes while a run works.
__attribute__((noinline)) void signalThisThread() {
    signal(SIGUSR1, allocateInTheSignalHandler);
    const pthread_t self = pthread_self();
    std::thread([self] { pthread_kill(self, SIGUSR1); }).join();
}

void* doNothing(void*) { return nullptr; }

__attribute__((noinline)) void startAThreadNeverJoined() {
    pthread_t thread;
    pthread_create(&thread, nullptr, doNothing, nullptr);
}

}  // namespace quor::test

int main() {
    using namespace quor::test;
    int total = 0;
    std::thread reader([&total] { total = readTheSharedStringsLength(); });
    std::thread writer(growTheSharedString);
    writer.join();
    reader.join();
    unlockTheMutexNobodyHolds();
    signalThisThread();
    startAThreadNeverJoined();
    // The thread has ended by the time the program does: a leak, not one
    // still running.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return total > 0 ? 0 : 1;
}
