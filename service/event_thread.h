#pragma once
// The event thread of an asynchronous ReadWeight: one reading, one event, one result.

#include <windows.h>

namespace pendrax {

class CScaleTRM07;

struct EventThread {
    // The new thread's handle, or null with the last-error code of the failed start. The thread
    // holds a reference to the instance, a server lock and a reference to the library, and gives
    // them back as its last act.
    static HANDLE Start(CScaleTRM07& scale) noexcept;

    // Thread entry: the instance is the parameter; the exit code is always 0.
    static DWORD WINAPI Entry(void* parameter) noexcept;

    // The thread's lines around one reading and its event.
    static void Run(CScaleTRM07& scale) noexcept;

    // Reads with the retry rule, fires SOData or SOError, records the result.
    static long DoEventThread(CScaleTRM07& scale);

    // True when no event thread runs any more: none did, or the one that did had fired its
    // event and has now ended. False while one still reads or fires, or will not end.
    static bool AwaitFinished(CScaleTRM07& scale);
};

}  // namespace pendrax
