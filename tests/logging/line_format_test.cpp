#include "logging/line_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace zel {
namespace {

// Hands out the arguments a case lists, in order; any other request fails the test.
class ListedArguments final : public ArgumentSource {
public:
    struct Argument {
        bool isText;
        int number;
        const char* text;
    };
    explicit ListedArguments(std::vector<Argument> arguments) : arguments_(std::move(arguments)) {}

    int NextInt() noexcept override {
        const Argument* argument = Take(false);
        return argument ? argument->number : 0;
    }
    const char* NextText() noexcept override {
        const Argument* argument = Take(true);
        return argument ? argument->text : "";
    }
    std::size_t Unused() const { return arguments_.size() - next_; }

private:
    const Argument* Take(bool wantText) {
        if (next_ == arguments_.size()) {
            ADD_FAILURE() << "format took more arguments than were given";
            return nullptr;
        }
        const Argument& argument = arguments_[next_++];
        if (argument.isText != wantText) ADD_FAILURE() << "argument " << next_ << " read as the wrong kind";
        return &argument;
    }
    std::vector<Argument> arguments_;
    std::size_t next_ = 0;
};

ListedArguments::Argument Int(int value) { return {false, value, nullptr}; }
ListedArguments::Argument Text(const char* value) { return {true, 0, value}; }

std::string Message(const char* format, std::vector<ListedArguments::Argument> arguments = {}) {
    ListedArguments source(std::move(arguments));
    LineBuffer line;
    AppendMessage(line, format, source);
    EXPECT_EQ(source.Unused(), 0u) << "for format \"" << (format ? format : "(null)") << "\"";
    return line.Text();
}

struct FormatCase {
    const char* format;
    std::vector<ListedArguments::Argument> arguments;
    std::string expected;
};

TEST(LineFormatMessage, FollowsEveryFormatRule) {
    const FormatCase cases[] = {
        {"plain text.", {}, "plain text."},
        {"100%% sure", {}, "100%% sure"},
        {"[%c]", {Int('A' + 0x100)}, "[A]"},
        {"[%c]", {Int(0)}, "[]"},
        {"%d", {Int(-2147483647 - 1)}, "-2147483648"},
        {"%d/%d", {Int(2147483647), Int(-7)}, "2147483647/-7"},
        {"%l", {Int(42)}, "42"},
        {"%ld", {Int(42)}, "42d"},
        {"[%s]", {Text("a\r\nb\tc")}, "[a\r\nb\tc]"},
        {"[%s]", {Text(nullptr)}, "[(null)]"},
        {"a%qb%Dc%xd", {}, "abcd"},
        {"ends in %", {}, "ends in "},
        {"one\r\ntwo\nthree\r", {}, "one  two three "},
        {"tab\there", {}, "tab\there"},
        {"Comm: %d; Hardware: %d", {Int(106), Int(10)}, "Comm: 106; Hardware: 10"},
    };
    for (const FormatCase& c : cases) EXPECT_EQ(Message(c.format, c.arguments), c.expected) << c.format;
}

TEST(LineFormatMessage, NullFormatAppendsNothing) { EXPECT_EQ(Message(nullptr), ""); }

constexpr Timestamp kStamp{1, 2, 24, 3, 4, 5};

std::string Prefix(const char* name, const char* category = "Main Thread   ", const char* level = "Critical    (0)") {
    LineBuffer line;
    AppendPrefix(line, kStamp, name, category, level);
    return line.Text();
}

TEST(LineFormatPrefix, PadsEachColumnToFifteen) {
    EXPECT_EQ(Prefix("Scale1"), "01/02/24\t03:04:05\tScale1         \tMain Thread    \tCritical    (0)\t");
    EXPECT_EQ(Prefix("ABCDEFGHIJKLMNO").size(), 66u);
    EXPECT_EQ(Prefix("", "", ""), "01/02/24\t03:04:05\t" + std::string(15, ' ') + "\t" + std::string(15, ' ') +
                                      "\t" + std::string(15, ' ') + "\t");
}

TEST(LineFormatPrefix, LongNameWidensItsColumn) {
    const std::string name(20, 'N');
    EXPECT_EQ(Prefix(name.c_str()), "01/02/24\t03:04:05\t" + name + "\tMain Thread    \tCritical    (0)\t");
}

TEST(LineFormatPrefix, StampFieldsAreTwoDigits) {
    LineBuffer line;
    AppendPrefix(line, Timestamp{12, 31, 2099 % 100, 23, 59, 9}, "n", "c", "l");
    EXPECT_EQ(std::string(line.Text()).substr(0, 18), "12/31/99\t23:59:09\t");
}

TEST(LineFormatLength, LongMessageIsCutAt511KeepingThePrefix) {
    const std::string prefix = Prefix("Scale1");
    const std::string longText(600, 'x');
    LineBuffer line;
    AppendPrefix(line, kStamp, "Scale1", "Main Thread   ", "Critical    (0)");
    ListedArguments source({Text(longText.c_str()), Int(5)});
    AppendMessage(line, "%s then %d", source);
    const std::string text = line.Text();
    ASSERT_EQ(text.size(), kLineBufferSize - 1);
    EXPECT_EQ(line.Length(), text.size());
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(text.substr(prefix.size()), std::string(kLineBufferSize - 1 - prefix.size(), 'x'));
}

TEST(LineFormatLength, NumberAtTheEndIsCutByCharacter) {
    const std::string filler(kLineBufferSize - 4, '.');
    const std::string format = filler + "%d";
    EXPECT_EQ(Message(format.c_str(), {Int(12345)}), filler + "123");
}

TEST(LineFormatLength, HugeNameCutsThePrefixItself) {
    const std::string name(700, 'N');
    LineBuffer line;
    AppendPrefix(line, kStamp, name.c_str(), "c", "l");
    ListedArguments none({});
    AppendMessage(line, "never shown", none);
    EXPECT_EQ(std::string(line.Text()), "01/02/24\t03:04:05\t" + std::string(kLineBufferSize - 1 - 18, 'N'));
}

TEST(LineFormatFileLine, TabsBecomeSpacesAndLineEndsAreCarriageReturnAndLineFeed) {
    char out[kFileLineBufferSize];
    EXPECT_EQ(ComposeFileLine("a\tb\t\tc", out), 8u);
    EXPECT_STREQ(out, "a b  c\r\n");
    EXPECT_EQ(ComposeFileLine("", out), 2u);
    EXPECT_STREQ(out, "\r\n");
    // A break inside an argument, a lone carriage return and a break in a pair, as text mode wrote them.
    EXPECT_EQ(ComposeFileLine("x\ny\rz\r\n", out), 11u);
    EXPECT_STREQ(out, "x\r\ny\rz\r\r\n\r\n");

    const std::string longest(kLineBufferSize - 1, 'z');
    EXPECT_EQ(ComposeFileLine(longest.c_str(), out), kLineBufferSize + 1);
    EXPECT_EQ(std::string(out), longest + "\r\n");
    const std::string tooLong(kLineBufferSize + 40, 'z');
    EXPECT_EQ(ComposeFileLine(tooLong.c_str(), out), kLineBufferSize + 1);
    const std::string breaks(kLineBufferSize + 40, '\n');
    EXPECT_EQ(ComposeFileLine(breaks.c_str(), out), kFileLineBufferSize - 1);
    EXPECT_EQ(std::string(out, 4), "\r\n\r\n");
}

std::string Escaped(const std::string& data) {
    char out[kLineBufferSize];
    const std::size_t length = EscapeData(data.data(), data.size(), out);
    EXPECT_EQ(length, std::strlen(out));
    return out;
}

std::string Repeated(const std::string& text, int times) {
    std::string whole;
    for (int i = 0; i < times; ++i) whole += text;
    return whole;
}

TEST(LineFormatEscapedData, PrintableTextStaysAndEveryOtherByteIsEscaped) {
    const struct {
        std::string data;
        std::string shown;
    } cases[] = {
        {" 12.345 lb  S00 ", " 12.345 lb  S00 "},
        {"a\r\nb", "a\\r\\nb"},
        {"\r\n\t", "\\r\\n\\t"},
        {"\\x07", "\\\\x07"},
        {"\x07\x1b\x7f", "\\x07\\x1b\\x7f"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\x80\xc3\xa9\xff", "\\x80\\xc3\\xa9\\xff"},
        {"", ""},
        // What does not fit in a line is left out a whole escape at a time: 127 escapes of four
        // characters fill 508 of the 511 places.
        {std::string(200, '\x01'), Repeated("\\x01", 127)},
        {std::string(600, 'x'), std::string(kLineBufferSize - 1, 'x')},
    };
    for (const auto& c : cases) EXPECT_EQ(Escaped(c.data), c.shown);
}

std::string AsInFile(std::string line) {
    for (char& c : line) {
        if (c == '\t') c = ' ';
    }
    return line;
}

TEST(LineFormatHeader, TitlesAndRuleLineUpWithTheColumns) {
    const std::string titles = AsInFile(ColumnTitleLine());
    const std::string rule = AsInFile(RuleLine());
    EXPECT_EQ(ColumnTitleLine(),
              "Date    \tTime    \tDisplay Name   \tCategory       \tLevel          \tMessage" + std::string(43, ' '));
    EXPECT_EQ(RuleLine(), "--------\t--------\t---------------\t---------------\t---------------\t" +
                              std::string(50, '-'));
    EXPECT_EQ(titles.find("Time"), 9u);
    EXPECT_EQ(titles.find("Display Name"), 18u);
    EXPECT_EQ(titles.find("Category"), 34u);
    EXPECT_EQ(titles.find("Level"), 50u);
    EXPECT_EQ(titles.find("Message"), 66u);
    EXPECT_EQ(titles.size(), 116u);
    EXPECT_EQ(rule.size(), titles.size());
    for (std::size_t column : {8u, 17u, 33u, 49u, 65u}) EXPECT_EQ(rule[column], ' ') << column;
}

}  // namespace
}  // namespace zel
