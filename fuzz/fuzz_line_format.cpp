// One log line composed from any stamp, names, format and arguments: it always fits the
// 512-character buffer, stays terminated, and the file form has no tab and every line feed
// follows a carriage return, the last of them ending the line.
// Outside data escaped for a line is printable text that reads back as the data.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "logging/line_format.h"
#include "logging/name_table.h"

namespace {

// Arguments as the format asks for them, drawn from the fuzz input; texts may be null.
class FuzzedArguments final : public zel::ArgumentSource {
public:
    explicit FuzzedArguments(FuzzedDataProvider& input) : input_(input) {}
    int NextInt() noexcept override { return input_.ConsumeIntegral<int>(); }
    const char* NextText() noexcept override {
        if (input_.ConsumeBool()) return nullptr;
        texts_.push_back(input_.ConsumeRandomLengthString(1024));
        return texts_.back().c_str();
    }

private:
    FuzzedDataProvider& input_;
    std::vector<std::string> texts_;
};

void CheckLine(const zel::LineBuffer& line) {
    FUZZ_CHECK(line.Length() <= zel::kLineBufferSize - 1);
    FUZZ_CHECK(std::strlen(line.Text()) == line.Length());
}

void CheckFileForm(const zel::LineBuffer& line) {
    char file[zel::kFileLineBufferSize];
    const std::size_t length = zel::ComposeFileLine(line.Text(), file);
    std::size_t feeds = 0;
    for (std::size_t i = 0; i < line.Length(); ++i) feeds += line.Text()[i] == '\n';
    FUZZ_CHECK(length == line.Length() + feeds + 2);
    FUZZ_CHECK(length < zel::kFileLineBufferSize);
    FUZZ_CHECK(file[length - 2] == '\r' && file[length - 1] == '\n' && file[length] == '\0');
    FUZZ_CHECK(std::memchr(file, '\t', length) == nullptr);
    for (std::size_t i = 0; i < length; ++i) FUZZ_CHECK(file[i] != '\n' || (i > 0 && file[i - 1] == '\r'));
}

// Names cut out of a tab-terminated definition: every index gives a text, never a bad pointer.
void CheckNameTable(FuzzedDataProvider& input) {
    zel::NameTable table;
    const std::string definition = input.ConsumeRandomLengthString(256);
    table.Define(input.ConsumeBool() ? nullptr : definition.c_str(), input.ConsumeIntegral<int>());
    FUZZ_CHECK(table.DefaultIndex() >= 0 && table.DefaultIndex() <= table.TabCount());
    for (int i = 0; i < 4; ++i) {
        const char* name = table.Lookup(input.ConsumeIntegral<int>());
        FUZZ_CHECK(name != nullptr);
        FUZZ_CHECK(std::strchr(name, '\t') == nullptr);
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Printable characters only, never half an escape, and read back it gives the data's first
// bytes: all of them, unless the next escape would not have fitted in the line.
void CheckEscapedData(FuzzedDataProvider& input) {
    const std::string data = input.ConsumeRandomLengthString(1024);
    char shown[zel::kLineBufferSize];
    const std::size_t length = zel::EscapeData(data.data(), data.size(), shown);
    FUZZ_CHECK(length <= zel::kLineBufferSize - 1);
    FUZZ_CHECK(std::strlen(shown) == length);
    std::string decoded;
    for (std::size_t i = 0; i < length; ++i) {
        FUZZ_CHECK(shown[i] >= ' ' && shown[i] <= '~');
        if (shown[i] != '\\') {
            decoded += shown[i];
            continue;
        }
        FUZZ_CHECK(i + 1 < length);
        switch (shown[++i]) {
        case '\\': decoded += '\\'; break;
        case 'r': decoded += '\r'; break;
        case 'n': decoded += '\n'; break;
        case 't': decoded += '\t'; break;
        case 'x': {
            FUZZ_CHECK(i + 2 < length);
            const int high = HexValue(shown[i + 1]);
            const int low = HexValue(shown[i + 2]);
            FUZZ_CHECK(high >= 0 && low >= 0);
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default: FUZZ_CHECK(!"an unknown escape"); break;
        }
    }
    FUZZ_CHECK(data.compare(0, decoded.size(), decoded) == 0);
    FUZZ_CHECK(decoded.size() == data.size() || length + 4 > zel::kLineBufferSize - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    zel::Timestamp when{};
    for (int* field : {&when.month, &when.day, &when.year, &when.hour, &when.minute, &when.second})
        *field = input.ConsumeIntegral<int>();
    const std::string name = input.ConsumeRandomLengthString(64);
    const std::string category = input.ConsumeRandomLengthString(32);
    const std::string level = input.ConsumeRandomLengthString(32);
    const std::string format = input.ConsumeRandomLengthString(1024);

    zel::LineBuffer line;
    zel::AppendPrefix(line, when, name.c_str(), input.ConsumeBool() ? nullptr : category.c_str(), level.c_str());
    CheckLine(line);
    FuzzedArguments args(input);
    zel::AppendMessage(line, format.c_str(), args);
    CheckLine(line);
    CheckFileForm(line);
    CheckNameTable(input);
    CheckEscapedData(input);
    return 0;
}
