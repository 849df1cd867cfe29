#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

#include "common/log_callback.h"

struct stat;

namespace velk::zorv_comm {

// The JSON file in which the joystick's firmware version is recorded. The
// whole document is read, one member ("firmware_version") is set, and the
// document is written back with every other member kept.
//
// The file is replaced, never rewritten in place: the new text goes to
// "<path>.tmp" in the same folder and is renamed over the file, so a crash
// or a full disk leaves either the old or the new document, never a torn one.
// The new file keeps the old one's mode and owner. A file with further hard
// links loses them, with a Warning: the other names keep the old text, which
// is better than a document that a crash can leave half written.
class PackageFile {
 public:
  PackageFile(LogCallback log, std::string path);

  // True when the file holds `version` afterwards. False, with the file left
  // as it was, when it is malformed, has a shape the version cannot be
  // stored in, or cannot be written. Never throws.
  bool recordFirmwareVersion(const std::string& version) const;

 private:
  enum class ReadOutcome { kParsed, kMissing, kMalformed };

  bool update(const std::string& version) const;
  ReadOutcome read(nlohmann::json& document) const;
  ReadOutcome readText(std::string& text) const;
  bool hasUsableShape(const nlohmann::json& document) const;
  bool serialise(const nlohmann::json& document, std::string& text) const;
  bool replaceWith(const std::string& text) const;
  // old: the file being replaced, whose mode and owner the temporary takes;
  // nullptr when there is none yet.
  bool writeTemporary(const std::string& temporary, const std::string& text,
                      const struct stat* old) const;
  bool keepModeAndOwner(int fd, const struct stat& old) const;
  bool targetIsWritable() const;
  bool failWriting() const;

  LogCallback log_;
  std::string path_;
};

}  // namespace velk::zorv_comm
