#pragma once
// The UDP listening thread: the receiving half of the rig controller's network link. It hears
// the controller's frames on the listening port and makes UDP the live transport while they
// keep coming (see RigDatagramReceiver).

#include <memory>

#include "log/error_log.h"

namespace tarvelin {

// The listen routine, run on a thread of its own until udpRunning is cleared. It owns `log`.
void runUdpListener(std::unique_ptr<ErrorLog> log);

}  // namespace tarvelin
