#include "image/ChecksumKind.h"

#include "image/ChecksumCatalogueTable.h"
#include "platform/ini/IniFile.h"

namespace velmorin {

std::span<const ChecksumKindInfo> ChecksumCatalogue() {
  return detail::kChecksumCatalogue;
}

const ChecksumKindInfo& ChecksumKindInfoOf(ChecksumKind kind) {
  return detail::kChecksumCatalogue.at(static_cast<std::size_t>(kind));
}

std::optional<ChecksumKind> FindChecksumKind(std::string_view name) {
  for (const ChecksumKindInfo& info : detail::kChecksumCatalogue) {
    if (IniFile::SameName(name, info.Name)) return info.Kind;
  }
  return std::nullopt;
}

std::string ChecksumKindNames() {
  std::string names;
  for (const ChecksumKindInfo& info : detail::kChecksumCatalogue) {
    names += (names.empty() ? "" : ", ") + std::string(info.Name);
  }
  return names;
}

}  // namespace velmorin
