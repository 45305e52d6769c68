// Who uses a crypto provider: connections and signing contexts count their
// provider here, and the last one to go de-initialises it.
#pragma once

#include <string>

namespace kelda::dtcp {

void provider_acquired(const std::string& name);
void provider_released(const std::string& name);

}  // namespace kelda::dtcp
