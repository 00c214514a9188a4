// Under Wine, takes the X server's own screenshot of the whole screen with xwd, which Wine starts
// as a program of the machine's own, for the tests to hold what they read against what X shows;
// ImageMagick turns it into a binary PPM without comments, which the tests read in a few lines.
// A process of its own: after starting a program of the machine's, Wine 8 closes a handle of the
// starting process (whatever then has the value of its standard error), which a test would lose.
//   usage: x_screenshot.exe FILE      exits 0 once FILE holds the screenshot as a PPM
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    using UnixName = char* (*)(const wchar_t*);
    using DosName = wchar_t* (*)(const char*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto* unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    auto* dosName = reinterpret_cast<DosName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
    if (argc != 2 || !unixName || !dosName) return 2;
    char* file = unixName(argv[1]);
    wchar_t* shell = dosName("/bin/sh");
    if (!file || !shell) return 1;
    // Quoted for the shell, a quote in a folder's name included; the file appears whole, renamed.
    std::wstring target;
    for (const char* c = file; *c; ++c) target += *c == '\'' ? std::wstring(L"'\\''") : std::wstring(1, static_cast<unsigned char>(*c));
    std::wstring command = L"\"" + std::wstring(shell) +
                           L"\" -c \"xwd -root -silent | $(command -v magick || echo convert) xwd:- -strip -depth 8 ppm:'" +
                           target + L".part' && mv '" + target + L".part' '" + target + L"'\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1;
    // Wine gives no handle that waits for a program of the machine's own.
    for (int waited = 0; waited < 20000; waited += 50) {
        if (GetFileAttributesW(argv[1]) != INVALID_FILE_ATTRIBUTES) return 0;
        Sleep(50);
    }
    return 1;
}
