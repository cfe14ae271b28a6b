// Build-time tool: renders the user manual (Markdown) to the PDF that
// Help > Content opens, with Qt's own text layout and PDF writer.
//   quor_render_manual <manual.md> <output.pdf>
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <manual.md> <output.pdf>\n", argv[0]);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QString markdown = QString::fromUtf8(in.readAll());

    const QString out = QString::fromLocal8Bit(argv[2]);
    QPdfWriter writer(out);
    writer.setTitle(QStringLiteral("Quor 4 user manual"));
    writer.setCreator(QStringLiteral("Quor"));
    writer.setResolution(300);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));

    QTextDocument doc;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setDefaultStyleSheet(QStringLiteral("code { font-family: monospace; }"));
    doc.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    if (doc.isEmpty()) {
        std::fprintf(stderr, "%s holds no text\n", argv[1]);
        return 1;
    }
    doc.print(&writer);
    if (!QFile::exists(out) || QFile(out).size() == 0) {
        std::fprintf(stderr, "could not write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
