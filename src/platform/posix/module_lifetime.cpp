#include "platform/module_lifetime.h"

namespace tarvelin::platform {

Teardown teardown() { return Teardown::none; }

}  // namespace tarvelin::platform
