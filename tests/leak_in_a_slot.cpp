// Must be reported by LeakSanitizer with tests/lsan.supp: what this
// program allocates and loses in a slot that Qt's event loop runs, as the
// window's code runs in every slot: a block of its own, a QObject (whose
// private part, made in QObject's constructor, points back to it: an entry
// by QObject's frames would hide the object too) and a QString's text
// (allocated in Qt Core's QArrayData). scripts/test-sanitized.sh runs it
// first and fails unless each is reported.
#include <QApplication>
#include <QObject>
#include <QString>
#include <QTimer>

// Not in an anonymous namespace: the sanitizers name a function of one
// short, without the namespace an entry of the suppression file may name.
namespace quor::test {

char* volatile heldBlock = nullptr;
QObject* volatile heldObject = nullptr;
QString* volatile heldString = nullptr;

__attribute__((noinline)) void loseABlockInASlot() {
    heldBlock = new char[64];
    heldBlock = nullptr;
}

__attribute__((noinline)) void loseAQObjectInASlot() {
    heldObject = new QObject;
    heldObject = nullptr;
}

__attribute__((noinline)) void loseAStringInASlot() {
    heldString = new QString(QString::number(1234567).repeated(8));
    heldString = nullptr;
}

}  // namespace quor::test

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTimer::singleShot(0, &app, [&app] {
        quor::test::loseABlockInASlot();
        quor::test::loseAQObjectInASlot();
        quor::test::loseAStringInASlot();
        app.quit();
    });
    return app.exec();
}
