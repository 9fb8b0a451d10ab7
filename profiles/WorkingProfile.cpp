#include "profiles/WorkingProfile.h"

namespace velmorin {

void WorkingProfile::SetSettings(const ProfileSettings& settings) {
  FSettings = settings;
  if (FObserver != nullptr) FObserver->ProfileShown(FSettings);
}

void WorkingProfile::SetNextSeqNum(std::int32_t value) {
  FSettings.NextSeqNum = value;
  if (FObserver != nullptr) FObserver->NextSeqNumShown(value);
}

void WorkingProfile::SetSkeletonText(const std::string& text) {
  FSkeletonText = text;
  ShowSkeletonBox();
}

void WorkingProfile::SetNames(const std::vector<std::string>& names) {
  FNames = names;
  FSelected = -1;
  ShowSkeletonBox();
}

void WorkingProfile::AddName(const std::string& name) {
  FNames.push_back(name);
  ShowSkeletonBox();
}

void WorkingProfile::DeleteName(int index) {
  if (!InList(index)) return;
  FNames.erase(FNames.begin() + index);
  if (index == FSelected) {
    FSelected = -1;
  } else if (index < FSelected) {
    --FSelected;
  }
  ShowSkeletonBox();
}

void WorkingProfile::Select(int index) {
  if (!InList(index)) {
    FSelected = -1;
  } else {
    FSelected = index;
    FSkeletonText = FNames[static_cast<std::size_t>(index)];
  }
  ShowSkeletonBox();
}

void WorkingProfile::ShowSkeletonBox() {
  if (FObserver != nullptr) FObserver->SkeletonBoxShown(FNames, FSelected, FSkeletonText);
}

}  // namespace velmorin
