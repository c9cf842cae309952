#pragma once
// A table of names cut out of one tab-terminated definition text. Plain text work, no platform.

#include <cstddef>
#include <string>
#include <vector>

namespace zel {

// Entry 0 starts the definition, entry k follows its k-th tab, so valid indexes run from 0 to the
// tab count inclusive. Any other index selects the default index; an empty table yields "".
class NameTable {
public:
    // A null definition empties the table.
    void Define(const char* definition, int defaultIndex);
    const char* Lookup(int index) const noexcept;
    int DefaultIndex() const noexcept { return defaultIndex_; }
    int TabCount() const noexcept { return tabCount_; }

private:
    int tabCount_ = 0;
    int defaultIndex_ = 0;
    // The definition with each tab turned into a terminator; entries are offsets into it, so a
    // copied table stays valid.
    std::string copy_;
    std::vector<std::size_t> entries_;
};

}  // namespace zel
