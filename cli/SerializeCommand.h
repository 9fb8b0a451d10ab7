// velmorin-cli serialize: the road of one serialization, or a batch, exactly
// as the window's Serialize 1 runs it, over the core's session.
#pragma once

#include <string>

#include "cli/Command.h"

namespace velmorin::cli {

struct SerializeRequest {
  std::string Skeleton;
  int Count = 0;  // 0: one image, as Serialize 1
  bool Yes = false;
  bool Json = false;
};

// "serialize SKELETON [--count N] [--yes] [--json]".
class SerializeCommand : public Command {
 public:
  void Declare(CLI::App& app) override;
  // Returns the exit code; errors are raised.
  int Run(const CommandContext& context) override;

 private:
  SerializeRequest FRequest;
};

}  // namespace velmorin::cli
