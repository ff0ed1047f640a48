// Build tool: turns the Markdown user guide (with its pictures from docs/images/) into
// "User_Guide.pdf" with Qt's own text layout and PDF writer, so the guide needs nothing beyond
// the Qt the program is built with.

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QImage>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFormat>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The widest a picture is laid out: the printed text runs 13 cm wide (A4 less the writer's
// 2 cm and the print layout's own 2 cm on either side), and pictures fill most of it.
constexpr double kPictureWidth = 480.0;

// Every picture of the guide, read from its folder, and no wider than the text.
bool FitPictures(QTextDocument& guide, const QString& folder)
{
    std::vector<int> positions;  // of the pictures' characters
    for (QTextBlock block = guide.begin(); block.isValid(); block = block.next())
        for (auto part = block.begin(); !part.atEnd(); ++part)
            if (part.fragment().charFormat().isImageFormat())
                for (int i = 0; i < part.fragment().length(); ++i)
                    positions.push_back(part.fragment().position() + i);
    for (const int position : positions) {
        QTextCursor cursor(&guide);
        cursor.setPosition(position);
        cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
        QTextImageFormat picture = cursor.charFormat().toImageFormat();
        const QImage image(folder + "/" + picture.name());
        if (image.isNull()) {
            std::fprintf(stderr, "make_user_guide: cannot read the picture %s\n",
                         qPrintable(picture.name()));
            return false;
        }
        guide.addResource(QTextDocument::ImageResource, QUrl(picture.name()), image);
        picture.setWidth(std::min<double>(image.width(), kPictureWidth));
        cursor.setCharFormat(picture);
    }
    return true;
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
    // Pictures (![...](images/name.png)) are found beside the guide.
    guide.setMetaInformation(QTextDocument::DocumentUrl,
                             QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath()).toString());
    guide.setMarkdown(QString::fromUtf8(source.readAll()));
    if (!FitPictures(guide, QFileInfo(source).absolutePath())) return 1;
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
