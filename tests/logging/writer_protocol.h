#pragma once
// What the writer processes put into the shared log, so the test can check every line.

#include <string>

namespace zel::test {

constexpr char kWriterFormat[] = "writer %d line %d %s";
// Long enough that a line torn by another writer could not pass unnoticed.
constexpr char kWriterPadding[] =
    "0123456789abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz"
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUV|";
constexpr unsigned long kWriterStartLimitMs = 60000;
// Lines are numbered from here, so that every line of every writer is as long as any other.
constexpr int kFirstLineNumber = 100000;

inline std::string WriterName(int writer) { return "Writer " + std::to_string(writer); }

}  // namespace zel::test
