// The package file update on arbitrary file content and version text. The
// update runs on the periodic task thread, so it must never throw; and it
// must never leave a half-written or wrong file: when it reports success the
// file holds the version with every other member kept, when it reports
// failure the file is exactly as before. No temporary file may stay behind.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "host_rig/scratch_folder.h"
#include "rocker/rocker_service/package_file.h"

namespace {

using rocker_fuzz::require;

const char* const kKey = "firmware_version";

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::string contentOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

// One JSON value from the start of the text, the rest ignored: how the file
// is read. Discarded (a parse error) when the text holds none.
nlohmann::json firstValue(const std::string& text) {
  std::istringstream in(text);
  nlohmann::json value;
  try {
    in >> value;
  } catch (const nlohmann::json::exception&) {
    return nlohmann::json::value_t::discarded;
  }
  return value;
}

void checkSuccess(const nlohmann::json& before, const std::string& old_content,
                  const std::string& after, const std::string& version) {
  const nlohmann::json written = firstValue(after);
  require(written.is_object(), "a JSON object after a successful update");
  require(written.contains(kKey) && written[kKey].is_string() &&
              written[kKey].get<std::string>() == version,
          "the version stored byte for byte");
  if (!before.is_object()) return;
  for (const auto& member : before.items()) {
    if (member.key() == kKey) continue;
    require(written.contains(member.key()) && written[member.key()] == member.value(),
            "member \"" + member.key() + "\" kept");
  }
  const bool unchanged = before.contains(kKey) && before[kKey].is_string() &&
                         before[kKey].get<std::string>() == version;
  if (unchanged) require(after == old_content, "an up-to-date file left untouched");
}

// On tmpfs when the machine has /dev/shm: the package file is fsync'ed on
// every write, which on a disk would cost more than the update itself.
std::string scratchBase() { return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : ""; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static velk::host_rig::ScratchFolder scratch("rocker-fuzz", scratchBase());
  const std::string path = scratch.file("package.json");
  FuzzedDataProvider input(data, size);
  const bool file_present = input.ConsumeBool();
  const std::string version = input.ConsumeRandomLengthString(64);
  const std::string content = input.ConsumeRemainingBytesAsString();

  ::unlink(path.c_str());
  if (file_present) write(path, content);

  const velk::zorv_comm::PackageFile file([](int, const char*, int, const std::string&) {}, path);
  const bool recorded = file.recordFirmwareVersion(version);

  require(!exists(path + ".tmp"), "no temporary file left behind");
  const nlohmann::json before =
      file_present ? firstValue(content) : nlohmann::json(nlohmann::json::value_t::null);
  if (recorded) {
    require(exists(path), "the file to exist after a successful update");
    checkSuccess(before, content, contentOf(path), version);
  } else if (file_present) {
    require(contentOf(path) == content, "the file unchanged after a failed update");
  } else {
    require(!exists(path), "no file made by a failed update");
  }
  return 0;
}
