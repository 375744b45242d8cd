#pragma once
// Stand-in for the few Windows kernel calls the engine makes, for builds on
// systems other than Windows. Only the behaviour the engine relies on is
// provided: movable zero-filled memory blocks that stay locked, read-only file
// handles, sleeping, and the path of the running program.
#include <cstddef>
#include <cstdint>

using BOOL = int;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using PLONG = LONG*;
using SIZE_T = std::size_t;
using HANDLE = void*;
using HGLOBAL = void*;
using HMODULE = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPCSTR = const char*;
using LPDWORD = DWORD*;

struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPOVERLAPPED = OVERLAPPED*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD FILE_SHARE_READ = 0x00000001u;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080u;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD attributes, HANDLE template_file);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes_to_read, LPDWORD bytes_read,
              LPOVERLAPPED overlapped);
// Moves the file position; only what the engine asks for: an offset from the
// start that fits in 31 bits.
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method);
BOOL CloseHandle(HANDLE object);

void Sleep(DWORD milliseconds);

// The path of the running program, whatever module is named. Like the real
// call: a path that does not fit is cut to size - 1 bytes and terminated, and
// size comes back; otherwise its length.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

// Test support, native build only: how many memory blocks are allocated and
// not yet freed, and a way to make the next allocations fail.
long platform_live_memory_blocks();
// After `successes` more successful GlobalAlloc calls, every further call fails
// until this is called again with a negative count.
void platform_fail_global_alloc_after(long successes);
// Makes GetModuleFileNameA report `path` (a Windows-style path, say, so that
// the settings file lands in a test's folder); null restores the real one.
void platform_set_module_file_name(const char* path);
