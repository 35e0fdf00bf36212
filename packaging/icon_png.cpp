// Renders the program's emblem into square PNG icons: icon_png OUTDIR SIZE... writes OUTDIR/SIZExSIZE.png;
// icon_png --ico FILE.ico SIZE... writes one Windows icon holding every size (PNG images in an ICO
// directory, as Windows Vista and later read them). Runs at build time (offscreen), so the package's icons
// are the emblem that "О программе" shows.

#include "ui/app/emblem.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>

#include <cstdio>

namespace {

QImage emblem(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    rv::paintEmblem(p, QRectF(0, 0, size, size));
    return image;
}

void putLe(QByteArray& out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

// ICONDIR, one ICONDIRENTRY per image, then the PNG images themselves.
QByteArray icoOf(const QList<int>& sizes)
{
    QList<QByteArray> pngs;
    for (int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        emblem(size).save(&buffer, "PNG");
        pngs << png;
    }
    QByteArray out;
    putLe(out, 0, 2);
    putLe(out, 1, 2); // an icon
    putLe(out, quint32(sizes.size()), 2);
    quint32 offset = 6 + 16 * quint32(sizes.size());
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const int size = sizes[i];
        putLe(out, size >= 256 ? 0 : quint32(size), 1); // 0 stands for 256
        putLe(out, size >= 256 ? 0 : quint32(size), 1);
        putLe(out, 0, 1);  // no palette
        putLe(out, 0, 1);
        putLe(out, 1, 2);  // planes
        putLe(out, 32, 2); // bits per pixel
        putLe(out, quint32(pngs[i].size()), 4);
        putLe(out, offset, 4);
        offset += quint32(pngs[i].size());
    }
    for (const QByteArray& png : pngs)
        out += png;
    return out;
}

bool parseSizes(const QStringList& args, QList<int>& sizes)
{
    for (const QString& s : args) {
        bool ok = false;
        const int size = s.toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "icon_png: bad size %s\n", qPrintable(s));
            return false;
        }
        sizes << size;
    }
    return !sizes.isEmpty();
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool ico = !args.isEmpty() && args.first() == QLatin1String("--ico");
    if (ico)
        args.removeFirst();
    QList<int> sizes;
    if (args.size() < 2 || !parseSizes(args.mid(1), sizes)) {
        std::fputs("usage: icon_png OUTDIR SIZE...\n       icon_png --ico FILE.ico SIZE...\n", stderr);
        return 2;
    }
    if (ico) {
        for (int size : sizes) {
            if (size > 256) {
                std::fputs("icon_png: an icon holds images of at most 256 pixels\n", stderr);
                return 2;
            }
        }
        QSaveFile f(args[0]);
        const QByteArray bytes = icoOf(sizes);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
            std::fprintf(stderr, "icon_png: cannot write %s\n", qPrintable(args[0]));
            return 1;
        }
        return 0;
    }
    const QDir out(args[0]);
    for (int size : sizes) {
        const QString path = out.filePath(QStringLiteral("%1x%1.png").arg(size));
        if (!emblem(size).save(path, "PNG")) {
            std::fprintf(stderr, "icon_png: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
