// Build tool: turns the Markdown user guide (with its pictures from docs/images/) into
// "User_Guide.pdf" with Qt's own text layout and PDF writer, so the guide needs nothing beyond
// the Qt the program is built with.

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>
#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_user_guide GUIDE.md OUTPUT.pdf\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make_user_guide: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument guide;
    // Pictures (![...](images/name.png)) are found beside the guide.
    guide.setMetaInformation(QTextDocument::DocumentUrl,
                             QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath()).toString());
    guide.setMarkdown(QString::fromUtf8(source.readAll()));
    QFont font("DejaVu Sans");
    font.setPointSize(10);
    guide.setDefaultFont(font);

    QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
    pdf.setTitle("Lumesta User Guide");
    pdf.setCreator("Lumesta");
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    pdf.setResolution(300);
    guide.print(&pdf);
    return QFile::exists(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
