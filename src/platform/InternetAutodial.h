#pragma once

namespace quietpane {

// Asks the system whether it is online: true when the kernel's routing table has an active
// default route. There is no dial-up to bring up here; "not online" is the failure.
bool InternetAutodial();

} // namespace quietpane
