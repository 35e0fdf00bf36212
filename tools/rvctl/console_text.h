#pragma once

#include <QString>

#include <cstdio>

// Writes text to stdout or stderr so that its Russian words arrive whole: on POSIX in the locale's encoding
// (UTF-8); on Windows through the console's own Unicode output when the stream is a console window, else
// (a file, a pipe) as UTF-8.
void writeText(std::FILE* stream, const QString& text);
