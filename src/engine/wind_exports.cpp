// The export that sets up the engine's own fan controller.

#include <string>

#include "engine/motion_engine.h"
#include "platform/utf8.h"
#include "tarvelin/motion.h"

namespace {

// A zero-terminated wide string from the host as UTF-8; null reads as empty.
std::string utf8(const wchar_t* text) { return text != nullptr ? tarvelin::platform::toUtf8(text) : std::string(); }

}  // namespace

extern "C" bool initWindSerial(const wchar_t* port, int baud, const wchar_t* mode, unsigned intervalMs) {
    return tarvelin::MotionEngine::instance().windSerial.init(utf8(port), baud, utf8(mode), intervalMs);
}
