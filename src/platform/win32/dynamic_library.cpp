#include "platform/dynamic_library.h"

#include <windows.h>

#include <string>

namespace tarvelin::platform {

namespace {

std::string describe(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return message;
}

}  // namespace

DynamicLibrary::~DynamicLibrary() {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

bool DynamicLibrary::load(const std::filesystem::path& file) {
    handle_ = LoadLibraryW(file.c_str());
    if (handle_ == nullptr) {
        error_ = describe(GetLastError());
        return false;
    }
    return true;
}

void* DynamicLibrary::symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::filesystem::path executableFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return {};
    return std::filesystem::path(std::wstring(path, length)).parent_path();
}

std::filesystem::path sharedLibraryFileName(const std::string& stem) { return stem + ".dll"; }

std::filesystem::path programFileName(const std::string& stem) { return stem + ".exe"; }

}  // namespace tarvelin::platform
