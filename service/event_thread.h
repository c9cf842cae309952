#pragma once
// The event thread of an asynchronous ReadWeight: one reading, then in its turn one event and
// its result.

#include <windows.h>

#include "service/async_reads.h"

namespace pendrax {

class CScaleTRM07;
class EventThreadLines;

struct EventThread {
    // Starts the thread of a read of `timeoutMs`; false with the last-error code when it cannot.
    // The thread holds a hold on the instance, a server lock and a reference to the library, and
    // gives them back as its last act.
    static bool Start(CScaleTRM07& scale, long timeoutMs) noexcept;

    // Thread entry: the read is the parameter; the exit code is always 0.
    static DWORD WINAPI Entry(void* parameter) noexcept;

    // The thread's lines around one reading and its event.
    static void Run(AsyncRead& read) noexcept;

    // Reads with the retry rule, then in its turn records the result and fires SOData or SOError.
    static long DoEventThread(AsyncRead& read, EventThreadLines& lines);
};

}  // namespace pendrax
