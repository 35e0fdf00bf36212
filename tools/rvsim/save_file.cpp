#include "save_file.h"

#include <QSaveFile>

namespace rvsim {

bool replaceFile(const QString& path, const QByteArray& data)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.flush()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace rvsim
