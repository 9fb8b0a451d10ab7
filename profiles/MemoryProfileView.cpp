#include "profiles/MemoryProfileView.h"

namespace velmorin {

void MemoryProfileView::SetSkelFileItems(const std::vector<std::string>& value) {
  items = value;
  index = -1;
}

void MemoryProfileView::DeleteSkelFileItem(int position) {
  if (position < 0 || position >= static_cast<int>(items.size())) return;
  items.erase(items.begin() + position);
  if (position == index) {
    index = -1;
  } else if (position < index) {
    --index;
  }
}

void MemoryProfileView::SetSkelFileIndex(int position) {
  if (position < 0 || position >= static_cast<int>(items.size())) {
    index = -1;
    return;
  }
  index = position;
  text = items[static_cast<std::size_t>(position)];
}

void MemoryProfileView::SetProgressRange(int minimum, int maximum) {
  progressMinimum = minimum;
  progressMaximum = maximum;
}

}  // namespace velmorin
