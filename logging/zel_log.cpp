#include "logging/zel_log.h"

namespace zel {

void NameTable::Define(const char*, int) {}
const char* NameTable::Lookup(int) const noexcept { return ""; }

ZelLog::ZelLog() {}
ZelLog::~ZelLog() {}
int ZelLog::SetDisplayName(const char* name) { displayName_ = name ? name : ""; return 1; }
int ZelLog::SetCategoryNames(const char*, int) { return 1; }
int ZelLog::SetLevelNames(const char*, int) { return 1; }
FILE* ZelLog::OpenLogFile(const char*, int) { return nullptr; }
void ZelLog::CloseFile() {}
void ZelLog::SetLineSink(LineHandler, void*, int, int) {}
void ZelLog::ClearLineSink() {}
void ZelLog::Write(int, int, const char*, ...) {}
void ZelLog::WriteV(int, int, const char*, va_list) {}
void ZelLog::WriteToFile(int, const char*, bool) {}
void ZelLog::WriteToSink(int, const char*) {}

}  // namespace zel
