#include "host_rig/framework_match.h"

#include <elf.h>
#include <link.h>

#include <cstring>

#include "host_rig/scratch_folder.h"

namespace velk::host_rig {

namespace {

const std::string kFrameworkLibrary = "libCppMicroServices.so";

bool isFramework(const std::string& library) {
  return library.compare(0, kFrameworkLibrary.size(), kFrameworkLibrary) == 0;
}

std::string baseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

template <class T>
bool readAt(const std::string& image, std::size_t offset, T& out) {
  if (offset > image.size() || image.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, image.data() + offset, sizeof(T));
  return true;
}

int collectFramework(dl_phdr_info* info, size_t, void* found) {
  const std::string name = baseName(info->dlpi_name != nullptr ? info->dlpi_name : "");
  if (!isFramework(name)) return 0;
  *static_cast<std::string*>(found) = name;
  return 1;
}

}  // namespace

std::vector<std::string> FrameworkMatch::neededLibraries(const std::string& path) {
  const std::string image = ScratchFolder::read(path);
  Elf64_Ehdr header{};
  if (!readAt(image, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64) {
    return {};
  }
  std::vector<std::string> needed;
  for (unsigned i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr dynamic{};
    Elf64_Shdr strings{};
    if (!readAt(image, header.e_shoff + i * sizeof(Elf64_Shdr), dynamic) ||
        dynamic.sh_type != SHT_DYNAMIC ||
        !readAt(image, header.e_shoff + dynamic.sh_link * sizeof(Elf64_Shdr), strings)) {
      continue;
    }
    for (std::size_t at = 0; at + sizeof(Elf64_Dyn) <= dynamic.sh_size; at += sizeof(Elf64_Dyn)) {
      Elf64_Dyn entry{};
      if (!readAt(image, dynamic.sh_offset + at, entry) || entry.d_tag == DT_NULL) break;
      const std::size_t name = strings.sh_offset + entry.d_un.d_val;
      if (entry.d_tag == DT_NEEDED && name < image.size())
        needed.emplace_back(image.c_str() + name);
    }
  }
  return needed;
}

std::optional<std::string> FrameworkMatch::neededFramework(const std::string& bundle_path) {
  for (const std::string& library : neededLibraries(bundle_path)) {
    if (isFramework(library)) return library;
  }
  return std::nullopt;
}

std::optional<std::string> FrameworkMatch::hostFramework() {
  std::string found;
  dl_iterate_phdr(collectFramework, &found);
  if (found.empty()) return std::nullopt;
  return found;
}

std::string FrameworkMatch::describe(const std::string& library) {
  if (library == kFrameworkLibrary) return library + " (the stand-in framework)";
  return library + " (stock CppMicroServices " + library.substr(kFrameworkLibrary.size() + 1) + ")";
}

std::optional<std::string> FrameworkMatch::problem(const std::string& bundle_path) {
  const auto needed = neededFramework(bundle_path);
  const auto host = hostFramework();
  if (!needed || !host || *needed == *host) return std::nullopt;
  return "the bundle " + bundle_path + " was built for the framework " + describe(*needed) +
         ", but this host runs " + describe(*host) + "; rebuild one of them against the other";
}

}  // namespace velk::host_rig
