#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace tarvelin::platform {

DynamicLibrary::~DynamicLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

bool DynamicLibrary::load(const std::filesystem::path& file) {
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error_ = reason != nullptr ? reason : "unknown error";
        return false;
    }
    return true;
}

void* DynamicLibrary::symbol(const char* name) const {
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

std::filesystem::path executableFolder() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

std::filesystem::path sharedLibraryFileName(const std::string& stem) { return "lib" + stem + ".so"; }

std::filesystem::path programFileName(const std::string& stem) { return stem; }

}  // namespace tarvelin::platform
