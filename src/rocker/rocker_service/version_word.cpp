#include "rocker/rocker_service/version_word.h"

namespace velk::zorv_comm {

std::string VersionWord::fullText() const {
  return std::to_string(majorNumber()) + "." + std::to_string(minorNumber()) + "." +
         std::to_string(patchNumber());
}

std::string VersionWord::shortText() const {
  return std::to_string(majorNumber()) + ":" + std::to_string(minorNumber());
}

}  // namespace velk::zorv_comm
