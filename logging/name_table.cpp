#include "logging/name_table.h"

namespace zel {

void NameTable::Define(const char* definition, int defaultIndex) {
    std::string copy;
    std::vector<std::size_t> entries;
    if (definition) {
        copy = definition;
        entries.push_back(0);
        for (std::size_t i = 0; i < copy.size(); ++i) {
            if (copy[i] == '\t') {
                copy[i] = '\0';
                entries.push_back(i + 1);
            }
        }
    }
    // Built aside first: a failed allocation leaves the old table whole.
    copy_.swap(copy);
    entries_.swap(entries);
    tabCount_ = entries_.empty() ? 0 : static_cast<int>(entries_.size() - 1);
    defaultIndex_ = defaultIndex < 0 ? 0 : (defaultIndex > tabCount_ ? tabCount_ : defaultIndex);
}

const char* NameTable::Lookup(int index) const noexcept {
    if (entries_.empty()) return "";
    if (index < 0 || index > tabCount_) index = defaultIndex_;
    return copy_.c_str() + entries_[static_cast<std::size_t>(index)];
}

}  // namespace zel
