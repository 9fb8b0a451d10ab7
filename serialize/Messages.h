// The texts the core shows the operator in its boxes, each written once: the
// road of a serialization, the commands, and the question about unsaved
// changes. Tests take them from here too.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system/TextEncoding.h"
#include "serialize/Operator.h"

namespace velmorin::message {

inline const std::string kSkeletonNotFound = "Skeleton file not found.";
inline const std::string kPrepareChip = "Prepare a chip in the burner, please.";
inline const std::string kImageSerialized = "Image serialized OK.";
// "¿" is one character of the core's text encoding.
inline const std::string kProfileModified =
    "Skeleton info has been modified, " + std::string(InvertedQuestionMark()) + "save?";

inline std::string ImagesSerialized(std::int32_t count) {
  return std::to_string(count) + " images serialized OK.";
}

// Asks `op` whether the changes of the profile being left are to be stored:
// true for Yes.
inline bool AskToSaveChanges(Operator& op) {
  return op.ShowMessageBox(kProfileModified, BoxKind::Confirm, box_button::Yes | box_button::No) ==
         mrYes;
}

}  // namespace velmorin::message
