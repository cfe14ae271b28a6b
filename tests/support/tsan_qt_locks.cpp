// Built into the test programs only when they are built with
// ThreadSanitizer. Debian's Qt is not instrumented, and its locks are
// futexes the sanitizer cannot see: whatever QGIS, GDAL under QGIS, or this
// program hands between threads under a Qt lock reads to it as a race.
// A program's own definition of a library function comes before the
// library's, so the lock functions that other libraries and this program
// call come here first, tell the sanitizer what each one orders, and hand
// on to Qt's own. Qt Core's calls to its own functions do not come here.
// The posts Qt's and QGIS's threads make to another thread's objects,
// which fill that thread's list of posted events under a lock Qt Core
// takes inside itself, pass through here named, so that a report shows them.
#include <dlfcn.h>
#include <sanitizer/tsan_interface.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFutureInterfaceBase>
#include <QFutureWatcherBase>
#include <QMutex>
#include <QReadWriteLock>
#include <QSemaphore>
#include <QThread>
#include <QWaitCondition>

#include <cstdlib>
#include <cstring>

namespace {

// Qt's own definition of a function this file stands in for.
template <class F>
F qtOwn(const char* mangled) {
    void* f = dlvsym(RTLD_NEXT, mangled, "Qt_5");
    if (!f) std::abort();
    return reinterpret_cast<F>(f);
}

// What Qt's own threads hand the window's thread by their queued signals.
char handedByQtThreads;

}  // namespace

// A lock taken orders after it whatever its last holder did; readers of a
// read-write lock are ordered after its writers, and before the next.
void QMutex::lock() noexcept {
    static const auto own = qtOwn<void (*)(QMutex*)>("_ZN6QMutex4lockEv");
    own(this);
    __tsan_acquire(this);
}

bool QMutex::tryLock(int timeout) noexcept {
    static const auto own = qtOwn<bool (*)(QMutex*, int)>("_ZN6QMutex7tryLockEi");
    const bool taken = own(this, timeout);
    if (taken) __tsan_acquire(this);
    return taken;
}

void QMutex::unlock() noexcept {
    static const auto own = qtOwn<void (*)(QMutex*)>("_ZN6QMutex6unlockEv");
    __tsan_release(this);
    own(this);
}

void QReadWriteLock::lockForRead() {
    static const auto own = qtOwn<void (*)(QReadWriteLock*)>("_ZN14QReadWriteLock11lockForReadEv");
    own(this);
    __tsan_acquire(this);
}

bool QReadWriteLock::tryLockForRead() {
    static const auto own = qtOwn<bool (*)(QReadWriteLock*)>("_ZN14QReadWriteLock14tryLockForReadEv");
    const bool taken = own(this);
    if (taken) __tsan_acquire(this);
    return taken;
}

bool QReadWriteLock::tryLockForRead(int timeout) {
    static const auto own = qtOwn<bool (*)(QReadWriteLock*, int)>("_ZN14QReadWriteLock14tryLockForReadEi");
    const bool taken = own(this, timeout);
    if (taken) __tsan_acquire(this);
    return taken;
}

void QReadWriteLock::lockForWrite() {
    static const auto own = qtOwn<void (*)(QReadWriteLock*)>("_ZN14QReadWriteLock12lockForWriteEv");
    own(this);
    __tsan_acquire(this);
}

bool QReadWriteLock::tryLockForWrite() {
    static const auto own = qtOwn<bool (*)(QReadWriteLock*)>("_ZN14QReadWriteLock15tryLockForWriteEv");
    const bool taken = own(this);
    if (taken) __tsan_acquire(this);
    return taken;
}

bool QReadWriteLock::tryLockForWrite(int timeout) {
    static const auto own = qtOwn<bool (*)(QReadWriteLock*, int)>("_ZN14QReadWriteLock15tryLockForWriteEi");
    const bool taken = own(this, timeout);
    if (taken) __tsan_acquire(this);
    return taken;
}

void QReadWriteLock::unlock() {
    static const auto own = qtOwn<void (*)(QReadWriteLock*)>("_ZN14QReadWriteLock6unlockEv");
    __tsan_release(this);
    own(this);
}

// A wait lets its mutex go and takes it again before it returns.
bool QWaitCondition::wait(QMutex* mutex, unsigned long time) {
    static const auto own =
        qtOwn<bool (*)(QWaitCondition*, QMutex*, unsigned long)>("_ZN14QWaitCondition4waitEP6QMutexm");
    __tsan_release(mutex);
    const bool woken = own(this, mutex, time);
    __tsan_acquire(mutex);
    return woken;
}

bool QWaitCondition::wait(QMutex* mutex, QDeadlineTimer deadline) {
    static const auto own = qtOwn<bool (*)(QWaitCondition*, QMutex*, QDeadlineTimer)>(
        "_ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer");
    __tsan_release(mutex);
    const bool woken = own(this, mutex, deadline);
    __tsan_acquire(mutex);
    return woken;
}

void QSemaphore::release(int n) {
    static const auto own = qtOwn<void (*)(QSemaphore*, int)>("_ZN10QSemaphore7releaseEi");
    __tsan_release(this);
    own(this, n);
}

void QSemaphore::acquire(int n) {
    static const auto own = qtOwn<void (*)(QSemaphore*, int)>("_ZN10QSemaphore7acquireEi");
    own(this, n);
    __tsan_acquire(this);
}

// Calls Qt's own function from a frame of its own: the sanitizer's stacks
// hold a frame only where it calls instrumented code, so this is what puts
// the caller below, the stand-in's name, into a report.
template <class F, class... A>
[[gnu::noinline]] auto throughOwn(F own, A... args) {
    return own(args...);
}

// Posting an event only files it in the receiving thread's list of posted
// events, under that list's lock, which Qt Core takes inside itself. A post
// made from outside Qt Core passes through here, so that the sanitizer's
// report of a race on that list names it.
void QCoreApplication::postEvent(QObject* receiver, QEvent* event, int priority) {
    static const auto own =
        qtOwn<void (*)(QObject*, QEvent*, int)>("_ZN16QCoreApplication9postEventEP7QObjectP6QEventi");
    throughOwn(own, receiver, event, priority);
}

// A thread of Qt's pool tells a future's watchers of its state by posting
// them events from inside these; QtConcurrent's and QGIS's pool threads
// call them from outside Qt Core, so a report of a race on a posted events
// list names them. The end of a task also orders all it did before
// whoever waits for it, or sees it over, below.
void QFutureInterfaceBase::reportStarted() {
    static const auto own = qtOwn<void (*)(QFutureInterfaceBase*)>("_ZN20QFutureInterfaceBase13reportStartedEv");
    throughOwn(own, this);
}

void QFutureInterfaceBase::reportFinished() {
    static const auto own = qtOwn<void (*)(QFutureInterfaceBase*)>("_ZN20QFutureInterfaceBase14reportFinishedEv");
    __tsan_release(mutex());
    throughOwn(own, this);
}

void QFutureInterfaceBase::reportCanceled() {
    static const auto own = qtOwn<void (*)(QFutureInterfaceBase*)>("_ZN20QFutureInterfaceBase14reportCanceledEv");
    throughOwn(own, this);
}

void QFutureInterfaceBase::reportResultsReady(int beginIndex, int endIndex) {
    static const auto own =
        qtOwn<void (*)(QFutureInterfaceBase*, int, int)>("_ZN20QFutureInterfaceBase18reportResultsReadyEii");
    throughOwn(own, this, beginIndex, endIndex);
}

void QFutureInterfaceBase::setProgressRange(int minimum, int maximum) {
    static const auto own =
        qtOwn<void (*)(QFutureInterfaceBase*, int, int)>("_ZN20QFutureInterfaceBase16setProgressRangeEii");
    throughOwn(own, this, minimum, maximum);
}

void QFutureInterfaceBase::setProgressValue(int progressValue) {
    static const auto own = qtOwn<void (*)(QFutureInterfaceBase*, int)>("_ZN20QFutureInterfaceBase16setProgressValueEi");
    throughOwn(own, this, progressValue);
}

void QFutureInterfaceBase::waitForFinished() {
    static const auto own = qtOwn<void (*)(QFutureInterfaceBase*)>("_ZN20QFutureInterfaceBase15waitForFinishedEv");
    own(this);
    __tsan_acquire(mutex());
}

bool QFutureInterfaceBase::isFinished() const {
    static const auto own = qtOwn<bool (*)(const QFutureInterfaceBase*)>("_ZNK20QFutureInterfaceBase10isFinishedEv");
    const bool over = own(this);
    if (over) __tsan_acquire(mutex());
    return over;
}

void QFutureWatcherBase::waitForFinished() {
    static const auto own = qtOwn<void (*)(QFutureWatcherBase*)>("_ZN18QFutureWatcherBase15waitForFinishedEv");
    own(this);
    __tsan_acquire(futureInterface().mutex());
}

bool QFutureWatcherBase::isFinished() const {
    static const auto own = qtOwn<bool (*)(const QFutureWatcherBase*)>("_ZNK18QFutureWatcherBase10isFinishedEv");
    const bool over = own(this);
    if (over) __tsan_acquire(futureInterface().mutex());
    return over;
}

// Qt's own threads tell the window's thread what they found by signals
// queued to it: the file system model's gatherer, and the network bearer's
// manager. Their emissions come through here named, so that a report of a
// race on a posted events list names them. Other senders' signals pass on
// unnamed, since a direct connection runs this program's slots under them.
void QMetaObject::activate(QObject* sender, const QMetaObject* meta, int localSignalIndex, void** argv) {
    static const auto own = qtOwn<void (*)(QObject*, const QMetaObject*, int, void**)>(
        "_ZN11QMetaObject8activateEP7QObjectPKS_iPPv");
    const char* cls = meta->className();
    if (std::strcmp(cls, "QFileInfoGatherer") == 0 || std::strcmp(cls, "QNetworkConfigurationManagerPrivate") == 0) {
        __tsan_release(&handedByQtThreads);
        throughOwn(own, sender, meta, localSignalIndex, argv);
    } else
        own(sender, meta, localSignalIndex, argv);
}

// The file system model takes its gatherer's findings (and later frees
// what that thread allocated for them) in slots its own event handler
// reaches through here. A queued call that comes here is ordered after
// the posts of Qt's threads above and nothing else: no thread of this
// program posts that way, so no race of its own is hidden.
bool QObject::event(QEvent* event) {
    static const auto own = qtOwn<bool (*)(QObject*, QEvent*)>("_ZN7QObject5eventEP6QEvent");
    if (event->type() == QEvent::MetaCall) __tsan_acquire(&handedByQtThreads);
    return own(this, event);
}

// A call to an object of another thread, or a queued one, only posts an
// event (QGIS's feature sources tell their connections' pool this way from
// its drawing threads); a direct one runs the callee here, unnamed.
bool QMetaObject::invokeMethod(QObject* obj, const char* member, Qt::ConnectionType type, QGenericReturnArgument ret,
                               QGenericArgument a0, QGenericArgument a1, QGenericArgument a2, QGenericArgument a3,
                               QGenericArgument a4, QGenericArgument a5, QGenericArgument a6, QGenericArgument a7,
                               QGenericArgument a8, QGenericArgument a9) {
    using Own = bool (*)(QObject*, const char*, Qt::ConnectionType, QGenericReturnArgument, QGenericArgument,
                         QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument,
                         QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument);
    static const auto own = qtOwn<Own>(
        "_ZN11QMetaObject12invokeMethodEP7QObjectPKcN2Qt14ConnectionTypeE22QGenericReturnArgument16QGenericArgumentS7_"
        "S7_S7_S7_S7_S7_S7_S7_S7_");
    // Qt's own refuses a null receiver (it returns false).
    const bool runsHere = !obj || type == Qt::DirectConnection ||
                          (type == Qt::AutoConnection && obj->thread() == QThread::currentThread());
    if (runsHere) return own(obj, member, type, ret, a0, a1, a2, a3, a4, a5, a6, a7, a8, a9);
    return throughOwn(own, obj, member, type, ret, a0, a1, a2, a3, a4, a5, a6, a7, a8, a9);
}
