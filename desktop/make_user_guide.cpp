// Build tool: turns the Markdown user guide into "User_Guide.pdf" with Qt's own text layout and
// PDF writer, so the guide needs nothing beyond the Qt the program is built with. Pictures are
// taken from beside the guide (docs/images/NAME.png).

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <cstdio>

namespace {

// Gives the guide its pictures, each narrowed to the text width where it is wider (the page is
// laid out in the screen's units, so a picture prints at the size it has on a screen).
void AddPictures(QTextDocument& guide, int textWidth)
{
    for (QTextBlock block = guide.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextImageFormat picture = it.fragment().charFormat().toImageFormat();
            if (!picture.isValid()) continue;
            const QUrl name(picture.name());
            QImage image = guide.resource(QTextDocument::ImageResource, name).value<QImage>();
            if (image.isNull()) continue;
            if (image.width() > textWidth)
                image = image.scaledToWidth(textWidth, Qt::SmoothTransformation);
            // Printing works on a copy of the guide, which has only the resources added.
            guide.addResource(QTextDocument::ImageResource, name, image);
        }
    }
}

}  // namespace

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
    guide.setBaseUrl(QUrl::fromLocalFile(QFileInfo(source).absolutePath() + "/"));
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
    // The text width in the document's units (the screen's 96 per inch): printing keeps a
    // margin of its own inside the page's, which leaves the text about three quarters of it.
    constexpr double kTextShare = 0.72;
    const QRectF page = pdf.pageLayout().paintRect(QPageLayout::Inch);
    AddPictures(guide, static_cast<int>(page.width() * 96 * kTextShare));
    guide.print(&pdf);
    return QFile::exists(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
