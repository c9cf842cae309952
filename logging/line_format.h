#pragma once
// Composition of one log line from its stamp, names and a small printf-like format. Plain text
// work, free of the platform, so it can be tested directly and built natively for fuzzing.

#include <cstdarg>
#include <cstddef>
#include <string>

namespace zel {

// A line holds at most kLineBufferSize - 1 characters; whatever does not fit is cut off.
constexpr std::size_t kLineBufferSize = 512;
constexpr std::size_t kNumberScratchSize = 128;
// Display name, category and level are padded to this width; longer texts widen their column.
constexpr std::size_t kColumnWidth = 15;
// A line written to the file: the line with each line feed doubled into carriage return and line
// feed, its own line break of two characters and a terminator.
constexpr std::size_t kFileLineBufferSize = 2 * kLineBufferSize + 1;

class LineBuffer {
public:
    LineBuffer() noexcept { text_[0] = '\0'; }
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;

    void Append(char c) noexcept;
    void Append(const char* text) noexcept;
    // Left-aligned, padded with spaces to at least `width` characters.
    void AppendPadded(const char* text, std::size_t width) noexcept;

    const char* Text() const noexcept { return text_; }
    std::size_t Length() const noexcept { return length_; }
    bool Full() const noexcept { return length_ == kLineBufferSize - 1; }

private:
    char text_[kLineBufferSize];
    std::size_t length_ = 0;
};

// Local wall-clock time of a line.
struct Timestamp {
    int month;
    int day;
    int year;
    int hour;
    int minute;
    int second;
};

// Where the conversions of a format take their arguments from.
class ArgumentSource {
public:
    virtual int NextInt() noexcept = 0;
    virtual const char* NextText() noexcept = 0;

protected:
    ~ArgumentSource() = default;
};

// The arguments of a variadic call: "%c", "%d" and "%l" read an int, "%s" a const char*.
class VaListArguments final : public ArgumentSource {
public:
    explicit VaListArguments(va_list args) noexcept { va_copy(args_, args); }
    ~VaListArguments() { va_end(args_); }
    VaListArguments(const VaListArguments&) = delete;
    VaListArguments& operator=(const VaListArguments&) = delete;

    int NextInt() noexcept override { return va_arg(args_, int); }
    const char* NextText() noexcept override { return va_arg(args_, const char*); }

private:
    va_list args_;
};

// "MM/DD/YY<TAB>HH:MM:SS<TAB>", then name, category and level, each padded and followed by a tab.
void AppendPrefix(LineBuffer& line, const Timestamp& when, const char* displayName, const char* category,
                  const char* level) noexcept;

// Walks `format`: "%%" gives "%%", "%c" a character, "%d" and "%l" a signed number, "%s" a text
// ("(null)" for a null pointer); "%" with any other character, or alone at the end, gives nothing.
// A carriage return or line feed in the format's own text becomes a space.
void AppendMessage(LineBuffer& line, const char* format, ArgumentSource& args) noexcept;

// The line as the file holds it: each tab one space, each line feed a carriage return and line
// feed, then a carriage return and line feed, as the C runtime's text mode wrote it. A line longer
// than kLineBufferSize - 1 characters is cut before its line break. Returns the length.
std::size_t ComposeFileLine(const char* line, char (&out)[kFileLineBufferSize]) noexcept;

// Outside data (a scale's reply) as a line shows it: printable ASCII as it is, a backslash
// doubled, "\r", "\n" and "\t" for those characters and "\xhh" for every other byte, zero bytes
// included, so the data can neither break a line nor pass for one of the log's own. Whatever
// does not fit in a line is left out, a whole escape at a time. Returns the length.
std::size_t EscapeData(const char* data, std::size_t length, char (&out)[kLineBufferSize]) noexcept;

// Header lines that title and underline the columns of every line.
std::string ColumnTitleLine();
std::string RuleLine();

}  // namespace zel
