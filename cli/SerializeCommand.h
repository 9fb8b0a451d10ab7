// velmorin-cli serialize: the road of one serialization, or a batch, exactly
// as the window's Serialize 1 runs it, over the core's session.
#pragma once

#include <string>
#include <vector>

#include "cli/Command.h"

namespace velmorin::cli {

struct SerializeRequest {
  std::string Skeleton;
  int Count = 0;  // 0: one image, as Serialize 1
  bool Yes = false;
  bool Json = false;
  int Slots = 0;  // 0: one burner at a time
  std::vector<std::string> SlotValues;
};

// "serialize SKELETON [--count N] [--slots K [--slot-values V1,...,VK]]
// [--yes] [--json]".
class SerializeCommand : public Command {
 public:
  void Declare(CLI::App& app) override;
  // Returns the exit code; errors are raised.
  int Run(const CommandContext& context) override;

  // The refusals of --slots and --slot-values, before anything is read:
  // EUsageError for --slots without --yes, --slot-values without --slots or
  // with other than K values, or an empty value.
  static void CheckSlots(const SerializeRequest& request);

 private:
  SerializeRequest FRequest;
};

}  // namespace velmorin::cli
