#pragma once

#include <cstdio>
#include <string>

#include "common/log_callback.h"

namespace velk {

// Prints one message on stderr; stands in wherever no callback was given.
inline void defaultLogHandler(int level, const char* file, int line, const std::string& msg);

// A class template so that exactly one log_handler exists in the whole
// bundle: its initialisation is guarded, whichever translation unit runs first.
template <class T>
struct BaseClass_statics {
  static const char* const level_names[6];
  static LogCallback log_handler;
};

template <class T>
const char* const BaseClass_statics<T>::level_names[6] = {"Critical", "Error", "Warning",
                                                          "Info",     "Debug", "BackTrace"};

template <class T>
LogCallback BaseClass_statics<T>::log_handler = &defaultLogHandler;

inline void defaultLogHandler(int level, const char* file, int line, const std::string& msg) {
  const bool known = level >= 0 && level < 6;
  const char* name = known ? BaseClass_statics<void>::level_names[level] : "Unknown";
  std::fprintf(stderr, "[%s] [%s:%d] %s\n", name, file ? file : "", line, msg.c_str());
  std::fflush(stderr);
}

}  // namespace velk
