#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quor"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quor"));
    window.show();
    return QApplication::exec();
}
