#pragma once

namespace platform {

// Whether the program runs with the super-user's rights (as CI does).
bool RunningAsSuperUser();

} // namespace platform
