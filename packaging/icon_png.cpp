// Renders the program's emblem into square PNG icons: icon_png OUTDIR SIZE... writes OUTDIR/SIZExSIZE.png.
// Runs at build time (offscreen), so the package's icons are the emblem that "О программе" shows.

#include "ui/app/emblem.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fputs("usage: icon_png OUTDIR SIZE...\n", stderr);
        return 2;
    }
    const QDir out(args[0]);
    for (const QString& s : args.mid(1)) {
        bool ok = false;
        const int size = s.toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "icon_png: bad size %s\n", qPrintable(s));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            rv::paintEmblem(p, QRectF(0, 0, size, size));
        }
        const QString path = out.filePath(QStringLiteral("%1x%1.png").arg(size));
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "icon_png: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
