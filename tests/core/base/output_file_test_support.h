#pragma once

// Helpers of the output-file tests: a file's bytes, a folder's entries (hidden ones too) and the fault seam
// cleared around each test.

#include "core/base/output_file.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace rvtest::output {

namespace faults = rv::output_file_faults;

inline QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Every entry of the folder, hidden ones too: a failed save leaves no temporary file behind.
inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

struct OutputFileTest : ::testing::Test {
    void SetUp() override { faults::clear(); }
    void TearDown() override { faults::clear(); }
};

} // namespace rvtest::output
