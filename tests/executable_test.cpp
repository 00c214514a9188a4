// The shipped Launcher.exe as a file, the way Windows' shell and loader read it without running
// it: its resources through the system's resource and version functions, and the bytes of its
// headers, import table, resource directory and version record parsed here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "harness.h"

using namespace harness;

namespace {

using Bytes = std::vector<unsigned char>;

template <class T>
T at(const Bytes& bytes, std::size_t offset) {
    T value{};
    if (offset <= bytes.size() && sizeof(T) <= bytes.size() - offset)
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

Bytes slice(const Bytes& bytes, std::size_t offset, std::size_t size) {
    if (offset > bytes.size() || size > bytes.size() - offset) return {};
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

std::wstring productPath() { return joinPath(testFolder(), L"product\\Launcher.exe"); }

// A 32-bit PE file's headers and the file offset of an address in its image.
class PeFile {
public:
    explicit PeFile(Bytes bytes) : bytes_(std::move(bytes)) {
        headers_ = at<LONG>(bytes_, offsetof(IMAGE_DOS_HEADER, e_lfanew));
        nt_ = at<IMAGE_NT_HEADERS32>(bytes_, headers_);
    }
    const Bytes& bytes() const { return bytes_; }
    const IMAGE_NT_HEADERS32& nt() const { return nt_; }
    bool valid() const {
        return at<WORD>(bytes_, 0) == IMAGE_DOS_SIGNATURE && nt_.Signature == IMAGE_NT_SIGNATURE &&
               nt_.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC;
    }
    IMAGE_DATA_DIRECTORY directory(int index) const { return nt_.OptionalHeader.DataDirectory[index]; }
    std::size_t offsetOf(DWORD rva) const {
        const std::size_t sections = headers_ + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                                     nt_.FileHeader.SizeOfOptionalHeader;
        for (WORD i = 0; i < nt_.FileHeader.NumberOfSections; ++i) {
            const auto section = at<IMAGE_SECTION_HEADER>(bytes_, sections + i * sizeof(IMAGE_SECTION_HEADER));
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData)
                return rva - section.VirtualAddress + section.PointerToRawData;
        }
        return bytes_.size();
    }
    std::string stringAt(DWORD rva) const {
        std::string text;
        for (std::size_t i = offsetOf(rva); i < bytes_.size() && bytes_[i]; ++i) text += static_cast<char>(bytes_[i]);
        return text;
    }

private:
    Bytes bytes_;
    std::size_t headers_ = 0;
    IMAGE_NT_HEADERS32 nt_{};
};

// One resource as type, name and language ids (every id here is a number).
using ResourceKey = std::tuple<WORD, WORD, WORD>;

// What a walk of the resource directory in the file's bytes finds: each resource, and the time
// stamp of every directory table on the way.
struct ResourceWalk {
    std::vector<ResourceKey> resources;
    std::vector<DWORD> stamps;
};

void walkResources(const Bytes& bytes, std::size_t base, std::size_t table, std::vector<WORD> path,
                   ResourceWalk& walk) {
    const auto directory = at<IMAGE_RESOURCE_DIRECTORY>(bytes, base + table);
    walk.stamps.push_back(directory.TimeDateStamp);
    const int entries = directory.NumberOfNamedEntries + directory.NumberOfIdEntries;
    for (int i = 0; i < entries && path.size() < 3; ++i) {
        const auto entry = at<IMAGE_RESOURCE_DIRECTORY_ENTRY>(
            bytes, base + table + sizeof(IMAGE_RESOURCE_DIRECTORY) + i * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY));
        std::vector<WORD> here = path;
        here.push_back(entry.NameIsString ? 0xFFFF : entry.Id);
        if (entry.DataIsDirectory)
            walkResources(bytes, base, entry.OffsetToDirectory, here, walk);
        else if (here.size() == 3)
            walk.resources.emplace_back(here[0], here[1], here[2]);
    }
}

// One block of a version record: key, value bytes and the blocks inside it, in file order.
struct VersionBlock {
    std::wstring key;
    Bytes value;
    std::vector<VersionBlock> children;
};

std::size_t align4(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

// Parses the block at `offset`; text values count their length in characters, binary in bytes.
VersionBlock parseBlock(const Bytes& record, std::size_t offset) {
    VersionBlock block;
    const std::size_t end = offset + at<WORD>(record, offset);
    const WORD valueLength = at<WORD>(record, offset + 2);
    const WORD type = at<WORD>(record, offset + 4);
    std::size_t p = offset + 6;
    for (wchar_t c; p + 2 <= end && (c = at<wchar_t>(record, p)); p += 2) block.key += c;
    p = align4(p + 2);
    const std::size_t valueBytes = type == 1 ? valueLength * 2u : valueLength;
    block.value = slice(record, p, valueBytes);
    p = align4(p + valueBytes);
    while (p < end && end <= record.size()) {
        const WORD length = at<WORD>(record, p);
        if (length == 0) break;
        block.children.push_back(parseBlock(record, p));
        p = align4(p + length);
    }
    return block;
}

std::vector<std::wstring> keysOf(const VersionBlock& block) {
    std::vector<std::wstring> keys;
    for (const VersionBlock& child : block.children) keys.push_back(child.key);
    return keys;
}

constexpr WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The icon file's images as the group lists them.
struct IconImage {
    BYTE width, height, colors;
    WORD bitCount;
    DWORD size, fileOffset;
    WORD id;
};
const IconImage kImages[] = {
    {16, 16, 0, 8, 1384, 54, 30001},
    {32, 32, 16, 4, 744, 1438, 30002},
    {32, 32, 0, 8, 2216, 2182, 30003},
};

// The resource enumeration callbacks, each appending to the vector its last argument points to.
// Named CALLBACK functions: on i686 the system calls them __stdcall, which no lambda converts to.
// Types and names given as strings live only during the call; 0xFFFF stands for them, and the walk
// of the file's directory still shows them.
ULONG_PTR resourceId(LPCWSTR typeOrName) {
    return IS_INTRESOURCE(typeOrName) ? reinterpret_cast<ULONG_PTR>(typeOrName) : 0xFFFF;
}
BOOL CALLBACK collectType(HMODULE, LPWSTR type, LONG_PTR list) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(list)->push_back(resourceId(type));
    return TRUE;
}
BOOL CALLBACK collectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(list)->push_back(resourceId(name));
    return TRUE;
}
BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
}

class ExecutableTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExW(productPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot load product\\Launcher.exe as a data file"; }

    // A resource's bytes as the system finds them for a language; it may fall back to another, so
    // the languages themselves are checked by listing them.
    static Bytes resource(LPCWSTR type, WORD name, WORD language) {
        HRSRC found = FindResourceExW(module_, type, MAKEINTRESOURCEW(name), language);
        if (!found) return {};
        const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module_, found)));
        return data ? Bytes(data, data + SizeofResource(module_, found)) : Bytes{};
    }

    static HMODULE module_;
};
HMODULE ExecutableTest::module_ = nullptr;

TEST_F(ExecutableTest, IconGroupOneListsTheIconFilesThreeImagesByResourceId) {
    const Bytes icon = readFile(joinPath(testFolder(), L"launcher.ico"));
    ASSERT_EQ(icon.size(), 4398u) << "launcher.ico beside the tests";
    const Bytes group = resource(RT_GROUP_ICON, 1, kNeutral);
    ASSERT_EQ(group.size(), 6u + 3 * 14) << "icon group 1";

    EXPECT_EQ(at<WORD>(group, 0), 0) << "reserved";
    EXPECT_EQ(at<WORD>(group, 2), 1) << "type: icon";
    EXPECT_EQ(at<WORD>(group, 4), 3) << "count";
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        const std::size_t entry = 6 + 14 * i, fileEntry = 6 + 16 * i;
        const IconImage& image = kImages[i];
        EXPECT_EQ(group[entry], image.width);
        EXPECT_EQ(group[entry + 1], image.height);
        EXPECT_EQ(group[entry + 2], image.colors);
        EXPECT_EQ(group[entry + 3], 0) << "reserved";
        EXPECT_EQ(at<WORD>(group, entry + 4), 1) << "planes";
        EXPECT_EQ(at<WORD>(group, entry + 6), image.bitCount);
        EXPECT_EQ(at<DWORD>(group, entry + 8), image.size);
        EXPECT_EQ(at<WORD>(group, entry + 12), image.id) << "the resource id stands where the file has an offset";
        // The same entry as the icon file's, up to the offset.
        EXPECT_EQ(slice(group, entry, 12), slice(icon, fileEntry, 12));
        EXPECT_EQ(at<DWORD>(icon, fileEntry + 12), image.fileOffset);
    }
}

TEST_F(ExecutableTest, EachIconImageIsTheIconFilesImageByteForByte) {
    const Bytes icon = readFile(joinPath(testFolder(), L"launcher.ico"));
    ASSERT_EQ(icon.size(), 4398u) << "launcher.ico beside the tests";
    for (const IconImage& image : kImages) {
        SCOPED_TRACE("icon " + std::to_string(image.id));
        const Bytes bytes = resource(RT_ICON, image.id, kNeutral);
        ASSERT_EQ(bytes.size(), image.size) << "icon resource";
        EXPECT_TRUE(bytes == slice(icon, image.fileOffset, image.size)) << "differs from the icon file's image";
    }
}

TEST_F(ExecutableTest, CarriesOnlyTheIconsAndTheVersionRecordInTheirLanguages) {
    const std::vector<ResourceKey> expected = {
        {3, 30001, kNeutral}, {3, 30002, kNeutral}, {3, 30003, kNeutral}, {14, 1, kNeutral}, {16, 1, kEnglishUs},
    };

    // As the system enumerates them: types, then names, then languages.
    std::vector<ResourceKey> listed;
    std::vector<ULONG_PTR> types;
    EnumResourceTypesW(module_, collectType, reinterpret_cast<LONG_PTR>(&types));
    EXPECT_EQ(types, (std::vector<ULONG_PTR>{3, 14, 16})) << "RT_ICON, RT_GROUP_ICON and RT_VERSION only";
    for (ULONG_PTR type : types) {
        std::vector<ULONG_PTR> names;
        EnumResourceNamesW(module_, reinterpret_cast<LPCWSTR>(type), collectName, reinterpret_cast<LONG_PTR>(&names));
        for (ULONG_PTR name : names) {
            std::vector<WORD> languages;
            EnumResourceLanguagesW(module_, reinterpret_cast<LPCWSTR>(type), reinterpret_cast<LPCWSTR>(name),
                                   collectLanguage, reinterpret_cast<LONG_PTR>(&languages));
            for (WORD language : languages)
                listed.emplace_back(static_cast<WORD>(type), static_cast<WORD>(name), language);
        }
    }
    EXPECT_EQ(listed, expected);

    // As the file's own resource directory holds them.
    const PeFile pe(readFile(productPath()));
    ASSERT_TRUE(pe.valid());
    const IMAGE_DATA_DIRECTORY directory = pe.directory(IMAGE_DIRECTORY_ENTRY_RESOURCE);
    ResourceWalk walk;
    walkResources(pe.bytes(), pe.offsetOf(directory.VirtualAddress), 0, {}, walk);
    EXPECT_EQ(walk.resources, expected);
}

TEST_F(ExecutableTest, VersionRecordSaysVersion1OfAWindowsApplication) {
    const std::wstring path = productPath();
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    ASSERT_EQ(size, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u) << "1.0";
    EXPECT_EQ(fixed->dwFileVersionLS, 0u) << ".0.0";
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &size));
    ASSERT_EQ(size, 4u) << "one translation";
    EXPECT_EQ(translation[0], 0x0409) << "en-US";
    EXPECT_EQ(translation[1], 0x04B0) << "Unicode";

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"CompanyName", L"Anselm Droweker 2026"},
        {L"FileDescription", L"launch Valdrenn in SP or MP Mode without Adminrights"},
        {L"LegalCopyright", L"Anselm Droweker 2026"},
        {L"LegalTrademarks", L"Anselm Droweker 2026"},
        {L"ProductName", L"Valdrenn Launcher"},
        {L"FileVersion", L"1.00"},
        {L"ProductVersion", L"1.00"},
        {L"InternalName", L"Launcher"},
        {L"OriginalFilename", L"Launcher.exe"},
    };
    for (const auto& [key, value] : strings) {
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        EXPECT_TRUE(VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &size) && text)
            << testing::PrintToString(query);
        if (text) {
            EXPECT_EQ(std::wstring(text), value);
        }
    }
}

TEST_F(ExecutableTest, VersionRecordHoldsTheTranslationFirstThenOneStringTableInKeyOrder) {
    const Bytes record = resource(RT_VERSION, 1, kEnglishUs);
    ASSERT_FALSE(record.empty()) << "en-US version record 1";
    ASSERT_EQ(at<WORD>(record, 0), record.size()) << "the record's length is the resource's";

    const VersionBlock root = parseBlock(record, 0);
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    EXPECT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
    ASSERT_EQ(keysOf(root), (std::vector<std::wstring>{L"VarFileInfo", L"StringFileInfo"}));

    const VersionBlock& var = root.children[0];
    ASSERT_EQ(keysOf(var), std::vector<std::wstring>{L"Translation"});
    EXPECT_EQ(var.children[0].value, (Bytes{0x09, 0x04, 0xB0, 0x04}));

    const VersionBlock& strings = root.children[1];
    ASSERT_EQ(keysOf(strings), std::vector<std::wstring>{L"040904B0"});
    EXPECT_EQ(keysOf(strings.children[0]),
              (std::vector<std::wstring>{L"CompanyName", L"FileDescription", L"LegalCopyright", L"LegalTrademarks",
                                         L"ProductName", L"FileVersion", L"ProductVersion", L"InternalName",
                                         L"OriginalFilename"}));
}

TEST_F(ExecutableTest, HeaderDescribesA32BitGuiProgramOfImageVersion1ForWindows4) {
    const PeFile pe(readFile(productPath()));
    ASSERT_TRUE(pe.valid()) << "a PE32 file";
    const IMAGE_NT_HEADERS32& nt = pe.nt();
    EXPECT_EQ(nt.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(nt.FileHeader.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE);
    EXPECT_FALSE(nt.FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_EQ(nt.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(nt.OptionalHeader.MajorImageVersion, 1);
    EXPECT_EQ(nt.OptionalHeader.MinorImageVersion, 0);
    EXPECT_EQ(nt.OptionalHeader.MajorSubsystemVersion, 4);
    EXPECT_EQ(nt.OptionalHeader.MinorSubsystemVersion, 0);
}

// Every function the product may import, with the oldest Windows that has it: "Minimum supported
// client" in Microsoft's documentation, and for msvcrt.dll, the C run time of that Windows. The
// loader refuses to start a program that imports one function the system lacks, so a newer one
// must be looked up at run time instead.
struct AllowedImport {
    const char* dll;
    const char* function;
    const char* since;
};
constexpr const char* kWindows2000 = "Windows 2000";
constexpr const char* kWindowsXp = "Windows XP";
const AllowedImport kAllowedImports[] = {
    {"GDI32.dll", "CreateFontW", kWindows2000},          {"GDI32.dll", "ExcludeClipRect", kWindows2000},
    {"GDI32.dll", "GetDeviceCaps", kWindows2000},        {"GDI32.dll", "GetStockObject", kWindows2000},
    {"GDI32.dll", "GetTextExtentPoint32W", kWindows2000}, {"GDI32.dll", "RestoreDC", kWindows2000},
    {"GDI32.dll", "SaveDC", kWindows2000},               {"GDI32.dll", "SelectObject", kWindows2000},
    {"GDI32.dll", "SetBkMode", kWindows2000},            {"GDI32.dll", "SetDCBrushColor", kWindows2000},
    {"GDI32.dll", "SetDIBitsToDevice", kWindows2000},    {"GDI32.dll", "SetTextColor", kWindows2000},
    {"GDI32.dll", "SetBrushOrgEx", kWindows2000},        {"GDI32.dll", "SetStretchBltMode", kWindows2000},
    {"GDI32.dll", "StretchDIBits", kWindows2000},        {"GDI32.dll", "GetClipBox", kWindows2000},
    {"KERNEL32.dll", "CloseHandle", kWindows2000},       {"KERNEL32.dll", "CreateFileW", kWindowsXp},
    {"KERNEL32.dll", "CreateProcessW", kWindowsXp},      {"KERNEL32.dll", "DeleteCriticalSection", kWindowsXp},
    {"KERNEL32.dll", "EnterCriticalSection", kWindowsXp}, {"KERNEL32.dll", "ExitProcess", kWindowsXp},
    {"KERNEL32.dll", "FormatMessageW", kWindowsXp},      {"KERNEL32.dll", "FreeLibrary", kWindowsXp},
    {"KERNEL32.dll", "GetCurrentDirectoryW", kWindowsXp}, {"KERNEL32.dll", "GetFileAttributesW", kWindowsXp},
    {"KERNEL32.dll", "GetLastError", kWindowsXp},        {"KERNEL32.dll", "GetModuleFileNameW", kWindowsXp},
    {"KERNEL32.dll", "GetModuleHandleA", kWindowsXp},    {"KERNEL32.dll", "GetModuleHandleW", kWindowsXp},
    {"KERNEL32.dll", "GetProcAddress", kWindowsXp},      {"KERNEL32.dll", "GetProcessHeap", kWindowsXp},
    {"KERNEL32.dll", "GetStartupInfoW", kWindowsXp},     {"KERNEL32.dll", "GetSystemDirectoryW", kWindows2000},
    {"KERNEL32.dll", "HeapAlloc", kWindowsXp},           {"KERNEL32.dll", "HeapFree", kWindowsXp},
    {"KERNEL32.dll", "InitializeCriticalSection", kWindowsXp}, {"KERNEL32.dll", "LeaveCriticalSection", kWindowsXp},
    {"KERNEL32.dll", "LoadLibraryA", kWindowsXp},        {"KERNEL32.dll", "LoadLibraryExW", kWindowsXp},
    {"KERNEL32.dll", "LocalFree", kWindowsXp},           {"KERNEL32.dll", "MulDiv", kWindows2000},
    {"KERNEL32.dll", "SetUnhandledExceptionFilter", kWindowsXp}, {"KERNEL32.dll", "Sleep", kWindowsXp},
    {"KERNEL32.dll", "TlsGetValue", kWindowsXp},         {"KERNEL32.dll", "VirtualProtect", kWindowsXp},
    {"KERNEL32.dll", "VirtualQuery", kWindowsXp},        {"KERNEL32.dll", "lstrlenW", kWindows2000},
    {"KERNEL32.dll", "lstrcpyW", kWindows2000},
    {"KERNEL32.dll", "CreateThread", kWindowsXp},
    {"USER32.dll", "AdjustWindowRectEx", kWindows2000},  {"USER32.dll", "AllowSetForegroundWindow", kWindows2000},
    {"USER32.dll", "BeginPaint", kWindows2000},          {"USER32.dll", "CreateWindowExW", kWindows2000},
    {"USER32.dll", "DefWindowProcW", kWindows2000},      {"USER32.dll", "DestroyWindow", kWindows2000},
    {"USER32.dll", "DispatchMessageW", kWindows2000},    {"USER32.dll", "DrawEdge", kWindows2000},
    {"USER32.dll", "DrawFocusRect", kWindows2000},       {"USER32.dll", "DrawTextW", kWindows2000},
    {"USER32.dll", "EndPaint", kWindows2000},            {"USER32.dll", "FillRect", kWindows2000},
    {"USER32.dll", "GetCapture", kWindows2000},          {"USER32.dll", "GetClientRect", kWindows2000},
    {"USER32.dll", "GetDC", kWindows2000},               {"USER32.dll", "GetFocus", kWindows2000},
    {"USER32.dll", "GetKeyState", kWindows2000},         {"USER32.dll", "GetMessageW", kWindows2000},
    {"USER32.dll", "GetSysColor", kWindows2000},         {"USER32.dll", "GetSystemMetrics", kWindows2000},
    {"USER32.dll", "GetWindowLongW", kWindows2000},      {"USER32.dll", "GetWindowRect", kWindows2000},
    {"USER32.dll", "InflateRect", kWindows2000},         {"USER32.dll", "IntersectRect", kWindows2000},
    {"USER32.dll", "InvalidateRect", kWindows2000},      {"USER32.dll", "IsWindowEnabled", kWindows2000},
    {"USER32.dll", "IsWindowVisible", kWindows2000},     {"USER32.dll", "LoadCursorW", kWindows2000},
    {"USER32.dll", "LoadImageW", kWindows2000},          {"USER32.dll", "MapWindowPoints", kWindows2000},
    {"USER32.dll", "MessageBoxW", kWindows2000},         {"USER32.dll", "NotifyWinEvent", kWindows2000},
    {"USER32.dll", "PeekMessageW", kWindows2000},        {"USER32.dll", "PostMessageW", kWindows2000},
    {"USER32.dll", "PostQuitMessage", kWindows2000},     {"USER32.dll", "PtInRect", kWindows2000},
    {"USER32.dll", "RedrawWindow", kWindows2000},        {"USER32.dll", "RegisterClassExW", kWindows2000},
    {"USER32.dll", "ReleaseCapture", kWindows2000},      {"USER32.dll", "ReleaseDC", kWindows2000},
    {"USER32.dll", "SendMessageW", kWindows2000},        {"USER32.dll", "SetCapture", kWindows2000},
    {"USER32.dll", "SetFocus", kWindows2000},            {"USER32.dll", "SetWindowLongW", kWindows2000},
    {"USER32.dll", "ShowWindow", kWindows2000},          {"USER32.dll", "TranslateMessage", kWindows2000},
    {"USER32.dll", "UpdateWindow", kWindows2000},        {"USER32.dll", "WindowFromPoint", kWindows2000},
    {"USER32.dll", "MsgWaitForMultipleObjects", kWindows2000},
};
// The C run time's own start and end, and the few functions our code and its start-up call.
const char* const kMsvcrtImports[] = {
    "__p__commode", "__p__fmode", "__p__wcmdln", "__set_app_type", "__setusermatherr", "__wgetmainargs",
    "__winitenv", "_amsg_exit", "_cexit", "_initterm", "_iob", "_onexit", "abort", "calloc", "exit", "fprintf",
    "free", "fwrite", "malloc", "memcpy", "memset", "signal", "strlen", "strncmp", "vfprintf", "wcscmp", "wcslen",
    "wcspbrk", "wcsstr", "wcschr", "wcsncmp", "memcmp", "memmove",
};

// The functions the file imports, as "dll!function" (ordinals as "dll!#n").
std::vector<std::string> importsOf(const PeFile& pe) {
    std::vector<std::string> imports;
    const IMAGE_DATA_DIRECTORY directory = pe.directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (std::size_t offset = pe.offsetOf(directory.VirtualAddress);; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto descriptor = at<IMAGE_IMPORT_DESCRIPTOR>(pe.bytes(), offset);
        if (descriptor.Name == 0) break;
        const std::string dll = pe.stringAt(descriptor.Name);
        const DWORD names = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        for (std::size_t thunk = pe.offsetOf(names);; thunk += sizeof(DWORD)) {
            const auto entry = at<DWORD>(pe.bytes(), thunk);
            if (entry == 0) break;
            if (entry & IMAGE_ORDINAL_FLAG32)
                imports.push_back(dll + "!#" + std::to_string(entry & 0xFFFF));
            else
                imports.push_back(dll + "!" + pe.stringAt(entry + offsetof(IMAGE_IMPORT_BY_NAME, Name)));
        }
    }
    return imports;
}

TEST_F(ExecutableTest, ImportsOnlyWindowsOwnDllsAndWhatWindowsXpSp3Has) {
    const PeFile pe(readFile(productPath()));
    ASSERT_TRUE(pe.valid());
    const std::vector<std::string> imports = importsOf(pe);
    ASSERT_GT(imports.size(), 20u);
    for (const std::string& import : imports) {
        const std::string dll = import.substr(0, import.find('!'));
        const std::string function = import.substr(import.find('!') + 1);
        bool allowed = false;
        if (_stricmp(dll.c_str(), "msvcrt.dll") == 0) {
            // The C run time that every Windows has; the C++ run time and libgcc are linked in.
            for (const char* name : kMsvcrtImports) allowed = allowed || function == name;
        } else {
            for (const AllowedImport& known : kAllowedImports) {
                if (_stricmp(dll.c_str(), known.dll) != 0 || function != known.function) continue;
                allowed = true;
                EXPECT_TRUE(known.since == kWindows2000 || known.since == kWindowsXp)
                    << import << " needs " << known.since << ": look it up at run time";
            }
        }
        EXPECT_TRUE(allowed) << import << " is not among the imports known to be in Windows XP SP3";
    }
}

// The artwork is most of the file; the rest is code, and it stays lean.
TEST_F(ExecutableTest, IsAtMost128KiBBeyondTheArtworkItCarries) {
    const Bytes file = readFile(productPath());
    const Bytes artwork = readFile(joinPath(testFolder(), L"artwork.bmp"));
    ASSERT_EQ(artwork.size(), 493016u);
    EXPECT_NE(std::search(file.begin(), file.end(), artwork.begin(), artwork.end()), file.end())
        << "the artwork is not in the file whole";
    ASSERT_GT(file.size(), artwork.size());
    EXPECT_LE(file.size() - artwork.size(), 128u * 1024u) << "bytes beyond the artwork";
}

TEST_F(ExecutableTest, CarriesNoTimeStampAndNoDebugOrExportData) {
    const PeFile pe(readFile(productPath()));
    ASSERT_TRUE(pe.valid());
    EXPECT_EQ(pe.nt().FileHeader.TimeDateStamp, 0u) << "the link time would make every build differ";
    EXPECT_EQ(pe.directory(IMAGE_DIRECTORY_ENTRY_DEBUG).Size, 0u);
    EXPECT_EQ(pe.directory(IMAGE_DIRECTORY_ENTRY_EXPORT).Size, 0u);

    ResourceWalk walk;
    walkResources(pe.bytes(), pe.offsetOf(pe.directory(IMAGE_DIRECTORY_ENTRY_RESOURCE).VirtualAddress), 0, {}, walk);
    ASSERT_FALSE(walk.stamps.empty());
    for (DWORD stamp : walk.stamps) EXPECT_EQ(stamp, 0u) << "resource directory time stamp";
}

}  // namespace
