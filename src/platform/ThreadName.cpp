#include "platform/ThreadName.h"

#include <pthread.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace orvane {

void setCurrentThreadName(const char* name) {
    // Longer names are refused (ERANGE) rather than cut: cut them here.
    const std::string shortened(name, std::min<std::size_t>(std::strlen(name), 15));
    pthread_setname_np(pthread_self(), shortened.c_str());
}

}  // namespace orvane
