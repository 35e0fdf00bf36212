#pragma once

// Whole files, for tests that check what was written.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace rvtest {

// The file's bytes, or "<missing>" when it cannot be read (so a missing file never equals an empty one).
inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes the whole file anew; a failure fails the test.
inline void putFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    ASSERT_EQ(f.write(bytes), bytes.size()) << qPrintable(path);
}

} // namespace rvtest
