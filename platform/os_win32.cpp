// The raw platform side on Windows: the standard handles and CreateDirectoryA.
#include <windows.h>

#include "platform/os.h"

namespace {

HANDLE handle_of(int stream) {
    return GetStdHandle(stream == STDIN_STREAM ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
}

}  // namespace

int os_read(int stream, char *buffer, int cap) {
    DWORD got = 0;
    if (ReadFile(handle_of(stream), buffer, static_cast<DWORD>(cap), &got, nullptr)) {
        return static_cast<int>(got);
    }
    // A pipe whose writer has closed reports a broken pipe: that is its end.
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

int os_write(int stream, const char *bytes, int length) {
    DWORD wrote = 0;
    if (!WriteFile(handle_of(stream), bytes, static_cast<DWORD>(length), &wrote, nullptr)) {
        return -1;
    }
    return static_cast<int>(wrote);
}

bool os_is_terminal(int stream) { return GetFileType(handle_of(stream)) == FILE_TYPE_CHAR; }

int os_make_directory(const char *path) { return CreateDirectoryA(path, nullptr) ? 0 : -1; }

int os_make_directory_after(const char *path, int, int, int) { return os_make_directory(path); }
