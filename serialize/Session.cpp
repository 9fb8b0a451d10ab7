#include "serialize/Session.h"

#include <utility>

#include "platform/ini/IniFile.h"
#include "profiles/ProfileKeys.h"

namespace velmorin {

Session::Session(std::string iniPath, ProfileView& view, Operator& op)
    : FIniPath(std::move(iniPath)),
      FView(view),
      FStore(FIniPath, view, op),
      FSerializer(view, FStore, op) {}

Session::~Session() = default;

void Session::Open() {
  FStore.Open();
}

void Session::Close() {
  FStore.Close();
}

std::vector<std::string> Session::ProfileNames() const {
  std::vector<std::string> names = FStore.Ini().ReadSections();
  std::erase_if(names,
                [](const std::string& name) { return IniFile::SameName(name, kOptionsSection); });
  return names;
}

bool Session::LoadProfile(const std::string& skeletonPath) {
  const std::vector<std::string> items = FView.SkelFileItems();
  int found = -1;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (IniFile::SameName(items[i], skeletonPath)) {
      found = static_cast<int>(i);
      break;
    }
  }
  // Selecting puts the entry's own spelling into the box, as choosing it
  // from the list does.
  FView.SetSkelFileIndex(found);
  if (found < 0) FView.SetSkelFileText(skeletonPath);
  FStore.ClearProfileName();
  FStore.LoadProfile();
  return found >= 0;
}

void Session::StoreProfile() {
  FStore.StoreProfile();
}

bool Session::SerializeOne() {
  return FSerializer.SerializeOne();
}

BatchOutcome Session::SerializeBatch(std::int32_t count) {
  return FSerializer.SerializeBatch(count);
}

}  // namespace velmorin
