#include "FakeView.h"

namespace velmorin::test {

void FakeView::SetSettings(const ProfileSettings& value) {
  settings = value;
  ++settingsWrites;
}

void FakeView::SetSkelFileItems(const std::vector<std::string>& value) {
  items = value;
  index = -1;
}

void FakeView::DeleteSkelFileItem(int position) {
  if (position < 0 || position >= static_cast<int>(items.size())) return;
  items.erase(items.begin() + position);
  if (position == index) {
    index = -1;
  } else if (position < index) {
    --index;
  }
}

void FakeView::SetSkelFileIndex(int position) {
  if (position < 0 || position >= static_cast<int>(items.size())) {
    index = -1;
    return;
  }
  index = position;
  text = items[static_cast<std::size_t>(position)];
}

void FakeView::SetProgressRange(int minimum, int maximum) {
  progressMinimum = minimum;
  progressMaximum = maximum;
}

void FakeView::SetProgressPosition(int position) {
  progressPosition = position;
  progressPositions.push_back(position);
}

}  // namespace velmorin::test
