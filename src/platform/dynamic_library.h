#pragma once
// Loading a shared library at run time (LoadLibraryW / dlopen), for hosts and tools that use
// the engine only through its exports.

#include <filesystem>
#include <string>

namespace tarvelin::platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads the library; on failure returns false and error() says why.
    bool load(const std::filesystem::path& file);
    // The address of an exported symbol, or null.
    void* symbol(const char* name) const;
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

// The folder of the running program, where the tools expect the library beside them.
std::filesystem::path executableFolder();

// The file name the platform gives a shared library called `stem`: "stem.dll" on Windows,
// "libstem.so" elsewhere.
std::filesystem::path sharedLibraryFileName(const std::string& stem);

// The file name the platform gives a program called `stem`: "stem.exe" on Windows, "stem"
// elsewhere.
std::filesystem::path programFileName(const std::string& stem);

}  // namespace tarvelin::platform
