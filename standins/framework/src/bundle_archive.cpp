#include "bundle_archive.h"

#include <zip.h>

#include <memory>
#include <stdexcept>

namespace cppmicroservices {
namespace {

// A manifest is a few lines; anything far larger is not one.
constexpr zip_uint64_t kMaxManifestBytes = 1 << 20;

struct ZipDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscard>;

struct ZipFileClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipFile = std::unique_ptr<zip_file_t, ZipFileClose>;

// libzip finds the central directory near the end of the file, so the
// library's own bytes in front of the archive do not disturb it. A file is
// expected to carry one archive: with several in its last 64 KiB libzip takes
// the first it can read.
ZipArchive openArchive(const std::string& location) {
  int code = 0;
  zip_t* archive = zip_open(location.c_str(), ZIP_RDONLY, &code);
  if (!archive) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const std::string reason = zip_error_strerror(&error);
    zip_error_fini(&error);
    throw std::runtime_error("No bundle resources (ZIP archive) readable in " + location + ": " +
                             reason);
  }
  return ZipArchive(archive);
}

std::vector<std::string> topLevelFolders(zip_t* archive) {
  std::vector<std::string> folders;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* entry = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
    if (!entry) continue;
    const std::string name(entry);
    const auto slash = name.find('/');
    if (slash == std::string::npos || slash == 0) continue;
    const std::string folder = name.substr(0, slash);
    bool known = false;
    for (const auto& f : folders) known = known || f == folder;
    if (!known) folders.push_back(folder);
  }
  return folders;
}

std::string readEntry(zip_t* archive, zip_uint64_t index, const std::string& what) {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
      stat.size > kMaxManifestBytes) {
    throw std::runtime_error("Cannot read " + what);
  }
  ZipFile file(zip_fopen_index(archive, index, 0));
  if (!file) throw std::runtime_error("Cannot open " + what + ": " + zip_strerror(archive));
  std::string text(static_cast<std::size_t>(stat.size), '\0');
  const zip_int64_t got = zip_fread(file.get(), text.data(), stat.size);
  if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size) {
    throw std::runtime_error("Cannot read " + what);
  }
  return text;
}

}  // namespace

std::vector<BundleManifest> BundleArchive::readManifests(const std::string& location) {
  ZipArchive archive = openArchive(location);
  std::vector<BundleManifest> manifests;
  for (const auto& folder : topLevelFolders(archive.get())) {
    const std::string entry = folder + "/manifest.json";
    const zip_int64_t index = zip_name_locate(archive.get(), entry.c_str(), 0);
    if (index < 0) continue;
    const std::string text =
        readEntry(archive.get(), static_cast<zip_uint64_t>(index), entry + " in " + location);
    manifests.push_back(BundleManifest::parse(location, folder, text));
  }
  if (manifests.empty()) {
    throw std::runtime_error("No bundle manifest (\"<name>/manifest.json\") in " + location);
  }
  return manifests;
}

}  // namespace cppmicroservices
