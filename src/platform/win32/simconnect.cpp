#include "platform/simconnect.h"

#include <windows.h>

namespace tarvelin::platform {

namespace {

// The client library's entry points, as the simulator's SDK declares them (all numbers are
// 32-bit; the enumerations are passed as such).
using OpenFunction = HRESULT(WINAPI*)(HANDLE*, LPCSTR, HWND, DWORD, HANDLE, DWORD);
using CloseFunction = HRESULT(WINAPI*)(HANDLE);
using AddToDataDefinitionFunction = HRESULT(WINAPI*)(HANDLE, DWORD, const char*, const char*, DWORD, float, DWORD);
using RequestDataOnSimObjectFunction = HRESULT(WINAPI*)(HANDLE, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                                        DWORD);
using SubscribeToSystemEventFunction = HRESULT(WINAPI*)(HANDLE, DWORD, const char*);
using GetNextDispatchFunction = HRESULT(WINAPI*)(HANDLE, void**, DWORD*);

template <typename Function>
Function entryPoint(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// SimConnect.dll is not part of Windows: the simulator's SDK ships it and programs carry it beside
// them. It is looked up once, on the first open, and kept loaded for the life of the process, so a
// machine without it pays for one failed search only.
struct EntryPoints {
    OpenFunction open = nullptr;
    CloseFunction close = nullptr;
    AddToDataDefinitionFunction addToDataDefinition = nullptr;
    RequestDataOnSimObjectFunction requestDataOnSimObject = nullptr;
    SubscribeToSystemEventFunction subscribeToSystemEvent = nullptr;
    GetNextDispatchFunction getNextDispatch = nullptr;

    EntryPoints() {
        HMODULE library = LoadLibraryW(L"SimConnect.dll");
        if (library == nullptr) return;
        open = entryPoint<OpenFunction>(library, "SimConnect_Open");
        close = entryPoint<CloseFunction>(library, "SimConnect_Close");
        addToDataDefinition = entryPoint<AddToDataDefinitionFunction>(library, "SimConnect_AddToDataDefinition");
        requestDataOnSimObject =
            entryPoint<RequestDataOnSimObjectFunction>(library, "SimConnect_RequestDataOnSimObject");
        subscribeToSystemEvent =
            entryPoint<SubscribeToSystemEventFunction>(library, "SimConnect_SubscribeToSystemEvent");
        getNextDispatch = entryPoint<GetNextDispatchFunction>(library, "SimConnect_GetNextDispatch");
        if (!complete()) {
            // An incomplete library is as good as none.
            FreeLibrary(library);
            open = nullptr;
        }
    }

    bool complete() const {
        return open != nullptr && close != nullptr && addToDataDefinition != nullptr &&
               requestDataOnSimObject != nullptr && subscribeToSystemEvent != nullptr && getNextDispatch != nullptr;
    }
};

class LoadedClient final : public SimConnectClient {
public:
    LoadedClient(const EntryPoints& calls, HANDLE handle) : calls_(calls), handle_(handle) {}
    ~LoadedClient() override { calls_.close(handle_); }
    LoadedClient(const LoadedClient&) = delete;
    LoadedClient& operator=(const LoadedClient&) = delete;

    std::int32_t addToDataDefinition(std::uint32_t definitionId, const char* variableName, const char* unitsName,
                                     std::int32_t dataType, float epsilon, std::uint32_t datumId) override {
        return calls_.addToDataDefinition(handle_, definitionId, variableName, unitsName,
                                          static_cast<DWORD>(dataType), epsilon, datumId);
    }

    std::int32_t requestDataOnSimObject(std::uint32_t requestId, std::uint32_t definitionId, std::uint32_t objectId,
                                        std::uint32_t period, std::uint32_t flags, std::uint32_t origin,
                                        std::uint32_t interval, std::uint32_t limit) override {
        return calls_.requestDataOnSimObject(handle_, requestId, definitionId, objectId, period, flags, origin,
                                             interval, limit);
    }

    std::int32_t subscribeToSystemEvent(std::uint32_t clientEventId, const char* eventName) override {
        return calls_.subscribeToSystemEvent(handle_, clientEventId, eventName);
    }

    std::int32_t getNextDispatch(const std::uint8_t** message, std::uint32_t* size) override {
        void* data = nullptr;
        DWORD length = 0;
        const HRESULT result = calls_.getNextDispatch(handle_, &data, &length);
        *message = static_cast<const std::uint8_t*>(data);
        *size = length;
        return result;
    }

private:
    // A copy: a client may be closed during static destruction, after the table it came from.
    const EntryPoints calls_;
    HANDLE handle_;
};

class LoadedSimConnect final : public SimConnectLibrary {
public:
    std::unique_ptr<SimConnectClient> open(const char* clientName, std::int32_t* result) override {
        static const EntryPoints calls;
        if (!calls.complete()) {
            *result = simConnectUnavailable;
            return nullptr;
        }
        HANDLE handle = nullptr;
        *result = calls.open(&handle, clientName, nullptr, 0, nullptr, 0);
        if (*result < 0) return nullptr;
        return std::make_unique<LoadedClient>(calls, handle);
    }
};

}  // namespace

SimConnectLibrary& systemSimConnect() {
    static LoadedSimConnect library;
    return library;
}

}  // namespace tarvelin::platform
