#pragma once

namespace velk {

// Levels handed to the log callback; the default handler names them.
enum LogLevel : int {
  kLogCritical = 0,
  kLogError = 1,
  kLogWarning = 2,
  kLogInfo = 3,
  kLogDebug = 4,
  kLogBackTrace = 5,
};

}  // namespace velk
