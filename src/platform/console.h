#pragma once

#include <QString>

// Console lines go to standard output, one line each, flushed at once so that a line is
// not lost when the process dies right after it.
void printLine(const QString& line);
