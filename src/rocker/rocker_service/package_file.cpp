#include "rocker/rocker_service/package_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>

#include "common/log.h"
#include "common/log_level.h"

namespace velk::zorv_comm {

namespace {

// Every message of the package file starts with the signature of the
// service operation it belongs to, so operators can grep for it as before.
constexpr const char* kSignature =
    "bool velk::zorv_comm::RockerService::updateConfig(const string&)";
constexpr const char* kVersionKey = "firmware_version";
constexpr const char* kTemporarySuffix = ".tmp";

bool writeAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

bool readAll(int fd, std::string& text) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace

PackageFile::PackageFile(LogCallback log, std::string path)
    : log_(std::move(log)), path_(std::move(path)) {}

bool PackageFile::recordFirmwareVersion(const std::string& version) const {
  // The caller runs on the periodic task thread, which must not be taken
  // down by a surprise in a file that anybody can edit.
  try {
    return update(version);
  } catch (const std::exception& error) {
    VELK_LOG(log_, kLogError) << kSignature << " Config file update failed: " << error.what();
    return false;
  }
}

bool PackageFile::update(const std::string& version) const {
  nlohmann::json document;
  const ReadOutcome outcome = read(document);
  if (outcome == ReadOutcome::kMalformed) return false;
  if (outcome == ReadOutcome::kMissing) {
    VELK_LOG(log_, kLogDebug) << kSignature << " Config file not found, will create new: " << path_;
  }
  if (!hasUsableShape(document)) return false;

  if (document.is_object() && document.contains(kVersionKey)) {
    const auto& stored = document[kVersionKey].get_ref<const std::string&>();
    if (stored == version) {
      VELK_LOG(log_, kLogDebug) << kSignature << " firmware_version unchanged: " << version;
      return true;
    }
    VELK_LOG(log_, kLogInfo) << kSignature << " firmware_version update: " << stored << " -> "
                             << version;
  } else {
    VELK_LOG(log_, kLogInfo) << kSignature
                             << " firmware_version field not found, create: " << version;
  }
  document[kVersionKey] = version;

  std::string text;
  return serialise(document, text) && replaceWith(text);
}

PackageFile::ReadOutcome PackageFile::read(nlohmann::json& document) const {
  std::string text;
  const ReadOutcome outcome = readText(text);
  if (outcome != ReadOutcome::kParsed) return outcome;
  std::istringstream stream(text);
  try {
    // Reads one value from the start; what follows it is not looked at.
    stream >> document;
  } catch (const nlohmann::json::parse_error& error) {
    VELK_LOG(log_, kLogDebug) << kSignature << " JSON parse error: " << error.what();
    return ReadOutcome::kMalformed;
  }
  return ReadOutcome::kParsed;
}

PackageFile::ReadOutcome PackageFile::readText(std::string& text) const {
  // O_NONBLOCK: opening a named pipe nobody writes to would otherwise block
  // the periodic task thread for good.
  const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) return ReadOutcome::kMissing;
  if (fd < 0) {
    // A file that is there but cannot be read (no read permission) must not
    // be taken for a missing one: a new document would replace it, and
    // every other member would be lost.
    VELK_LOG(log_, kLogError) << kSignature << " Config file cannot be read: " << path_;
    return ReadOutcome::kMalformed;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    // Only a regular file can be replaced by rename without surprises.
    failWriting();
    return ReadOutcome::kMalformed;
  }
  const bool complete = readAll(fd, text);
  ::close(fd);
  if (!complete) {
    VELK_LOG(log_, kLogError) << kSignature << " Config file cannot be read: " << path_;
    return ReadOutcome::kMalformed;
  }
  return ReadOutcome::kParsed;
}

bool PackageFile::hasUsableShape(const nlohmann::json& document) const {
  if (document.is_null()) return true;
  if (!document.is_object()) {
    VELK_LOG(log_, kLogError) << kSignature
                              << " Config file does not hold a JSON object, left unchanged: "
                              << path_;
    return false;
  }
  if (document.contains(kVersionKey) && !document[kVersionKey].is_string()) {
    VELK_LOG(log_, kLogError) << kSignature
                              << " firmware_version is not a string, config file left unchanged: "
                              << path_;
    return false;
  }
  return true;
}

bool PackageFile::serialise(const nlohmann::json& document, std::string& text) const {
  try {
    text = document.dump(4, ' ', false);
  } catch (const nlohmann::json::type_error& error) {
    VELK_LOG(log_, kLogError) << kSignature
                              << " Version text cannot be written, config file left unchanged: "
                              << error.what();
    return false;
  }
  return true;
}

bool PackageFile::replaceWith(const std::string& text) const {
  // An empty path would put the temporary file into the working directory.
  if (path_.empty() || !targetIsWritable()) return failWriting();
  struct stat old {};
  const bool replacing = ::stat(path_.c_str(), &old) == 0;
  const std::string temporary = path_ + kTemporarySuffix;
  if (!writeTemporary(temporary, text, replacing ? &old : nullptr)) return failWriting();
  if (replacing && old.st_nlink > 1) {
    VELK_LOG(log_, kLogWarning) << kSignature << " Config file has " << old.st_nlink
                                << " hard links; it is replaced, the other names keep the old "
                                   "text: "
                                << path_;
  }
  if (::rename(temporary.c_str(), path_.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return failWriting();
  }
  return true;
}

bool PackageFile::writeTemporary(const std::string& temporary, const std::string& text,
                                 const struct stat* old) const {
  // O_NOFOLLOW: a link planted at the temporary name must not redirect the
  // write to some other file.
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return false;
  // A mode that cannot be kept would leave the file more open than it was.
  bool written =
      (old == nullptr || keepModeAndOwner(fd, *old)) && writeAll(fd, text) && ::fsync(fd) == 0;
  written = ::close(fd) == 0 && written;
  if (!written) ::unlink(temporary.c_str());
  return written;
}

// Whoever reads the file (another account, a stricter mode) must find it as
// it was before the rename. The owner first: changing it may clear set-id
// bits that the mode then sets again.
bool PackageFile::keepModeAndOwner(int fd, const struct stat& old) const {
  struct stat now {};
  const bool sameOwner =
      ::fstat(fd, &now) == 0 && now.st_uid == old.st_uid && now.st_gid == old.st_gid;
  if (!sameOwner && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    VELK_LOG(log_, kLogWarning) << kSignature << " Config file owner " << old.st_uid << ":"
                                << old.st_gid << " cannot be kept: " << path_;
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

bool PackageFile::targetIsWritable() const {
  // Renaming would replace a file that opening for writing is refused for;
  // keep such a file as protected as it was.
  return ::access(path_.c_str(), F_OK) != 0 || ::access(path_.c_str(), W_OK) == 0;
}

bool PackageFile::failWriting() const {
  VELK_LOG(log_, kLogError) << kSignature << " Failed to open config file for writing: " << path_;
  return false;
}

}  // namespace velk::zorv_comm
