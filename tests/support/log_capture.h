#pragma once

#include "host_rig/log_sink.h"

namespace velk::test {

// The tests' name for the host's log sink, which keeps every message.
using LogCapture = host_rig::LogSink;

}  // namespace velk::test
