// nilo-icons SVG FOLDER
// Writes FOLDER/<n>x<n>/apps/nilo.png for the usual icon sizes and
// FOLDER/scalable/apps/nilo.svg, the layout of an icon theme's folder.
#include <cstdio>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: nilo-icons SVG FOLDER\n");
        return 2;
    }
    const QString svg = QString::fromLocal8Bit(argv[1]);
    const QDir folder(QString::fromLocal8Bit(argv[2]));
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "nilo-icons: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString place = QStringLiteral("%1x%1/apps").arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        if (!folder.mkpath(place) || !image.save(folder.filePath(place + QStringLiteral("/nilo.png")))) {
            std::fprintf(stderr, "nilo-icons: cannot write %s\n", qPrintable(folder.filePath(place)));
            return 1;
        }
    }
    const QString scalable = folder.filePath(QStringLiteral("scalable/apps/nilo.svg"));
    QFile::remove(scalable);
    if (!folder.mkpath(QStringLiteral("scalable/apps")) || !QFile::copy(svg, scalable)) {
        std::fprintf(stderr, "nilo-icons: cannot write %s\n", qPrintable(scalable));
        return 1;
    }
    return 0;
}
