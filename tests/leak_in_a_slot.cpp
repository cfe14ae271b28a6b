// Must be reported by LeakSanitizer with tests/lsan.supp: an object this
// program allocates and loses in a slot that Qt's event loop runs, as the
// window's code runs in every slot. scripts/test-sanitized.sh runs it first
// and fails if the suppressions hide it.
#include <QApplication>
#include <QTimer>

namespace {

char* volatile held = nullptr;

__attribute__((noinline)) void loseAnAllocationInASlot() {
    held = new char[64];
    held = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTimer::singleShot(0, &app, [&app] {
        loseAnAllocationInASlot();
        app.quit();
    });
    return app.exec();
}
