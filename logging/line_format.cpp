#include "logging/line_format.h"

#include <cstdio>

namespace zel {

namespace {

constexpr std::size_t kMessageColumnWidth = 50;
constexpr char kNullText[] = "(null)";

void AppendTwoDigits(LineBuffer& line, int value) noexcept {
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    magnitude %= 100;
    line.Append(static_cast<char>('0' + magnitude / 10));
    line.Append(static_cast<char>('0' + magnitude % 10));
}

void AppendNumber(LineBuffer& line, int value) noexcept {
    char scratch[kNumberScratchSize];
    std::snprintf(scratch, sizeof scratch, "%d", value);
    line.Append(scratch);
}

void AppendConversion(LineBuffer& line, char conversion, ArgumentSource& args) noexcept {
    switch (conversion) {
    case '%':
        line.Append("%%");
        break;
    case 'c': {
        // The line is a terminated text: a zero byte would hide the rest of it.
        const char c = static_cast<char>(args.NextInt() & 0xFF);
        if (c != '\0') line.Append(c);
        break;
    }
    case 'd':
    case 'l':
        AppendNumber(line, args.NextInt());
        break;
    case 's': {
        const char* text = args.NextText();
        line.Append(text ? text : kNullText);
        break;
    }
    default:
        break;
    }
}

// Outside bytes shown by name: the line breaks that could end a line early, the tab that
// separates its columns, and the backslash that starts every escape.
constexpr struct {
    char byte;
    char name;
} kNamedEscapes[] = {{'\\', '\\'}, {'\r', 'r'}, {'\n', 'n'}, {'\t', 't'}};

// One byte of outside data as a line shows it: itself, or an escape of two or four characters.
std::size_t EscapedByte(char byte, char (&form)[4]) noexcept {
    for (const auto& escape : kNamedEscapes) {
        if (byte == escape.byte) {
            form[0] = '\\';
            form[1] = escape.name;
            return 2;
        }
    }
    if (byte >= ' ' && byte <= '~') {
        form[0] = byte;
        return 1;
    }
    constexpr char kHexDigits[] = "0123456789abcdef";
    const unsigned char value = static_cast<unsigned char>(byte);
    form[0] = '\\';
    form[1] = 'x';
    form[2] = kHexDigits[value >> 4];
    form[3] = kHexDigits[value & 0x0F];
    return 4;
}

std::string Padded(const char* text, std::size_t width) {
    std::string padded(text);
    if (padded.size() < width) padded.append(width - padded.size(), ' ');
    return padded;
}

}  // namespace

void LineBuffer::Append(char c) noexcept {
    if (Full()) return;
    text_[length_++] = c;
    text_[length_] = '\0';
}

void LineBuffer::Append(const char* text) noexcept {
    while (*text != '\0' && !Full()) text_[length_++] = *text++;
    text_[length_] = '\0';
}

void LineBuffer::AppendPadded(const char* text, std::size_t width) noexcept {
    const std::size_t start = length_;
    Append(text);
    while (length_ - start < width && !Full()) Append(' ');
}

void AppendPrefix(LineBuffer& line, const Timestamp& when, const char* displayName, const char* category,
                  const char* level) noexcept {
    // "MM/DD/YY<tab>hh:mm:ss<tab>"
    const struct {
        int value;
        char after;
    } fields[] = {{when.month, '/'}, {when.day, '/'}, {when.year, '\t'},
                  {when.hour, ':'},  {when.minute, ':'}, {when.second, '\t'}};
    for (const auto& field : fields) {
        AppendTwoDigits(line, field.value);
        line.Append(field.after);
    }
    for (const char* column : {displayName, category, level}) {
        line.AppendPadded(column ? column : "", kColumnWidth);
        line.Append('\t');
    }
}

void AppendMessage(LineBuffer& line, const char* format, ArgumentSource& args) noexcept {
    if (!format) return;
    for (const char* p = format; *p != '\0' && !line.Full(); ++p) {
        if (*p == '%') {
            if (p[1] == '\0') break;
            AppendConversion(line, *++p, args);
        } else if (*p == '\r' || *p == '\n') {
            line.Append(' ');
        } else {
            line.Append(*p);
        }
    }
}

std::size_t ComposeFileLine(const char* line, char (&out)[kFileLineBufferSize]) noexcept {
    std::size_t length = 0;
    for (std::size_t i = 0; line[i] != '\0' && i < kLineBufferSize - 1; ++i) {
        if (line[i] == '\n') out[length++] = '\r';
        out[length++] = line[i] == '\t' ? ' ' : line[i];
    }
    out[length++] = '\r';
    out[length++] = '\n';
    out[length] = '\0';
    return length;
}

std::size_t EscapeData(const char* data, std::size_t length, char (&out)[kLineBufferSize]) noexcept {
    std::size_t used = 0;
    for (std::size_t i = 0; data && i < length; ++i) {
        char form[4];
        const std::size_t size = EscapedByte(data[i], form);
        if (used + size > kLineBufferSize - 1) break;
        for (std::size_t k = 0; k < size; ++k) out[used++] = form[k];
    }
    out[used] = '\0';
    return used;
}

std::string ColumnTitleLine() {
    return "Date    \tTime    \tDisplay Name   \tCategory       \tLevel          \t" +
           Padded("Message", kMessageColumnWidth);
}

std::string RuleLine() {
    return "--------\t--------\t---------------\t---------------\t---------------\t" +
           std::string(kMessageColumnWidth, '-');
}

}  // namespace zel
