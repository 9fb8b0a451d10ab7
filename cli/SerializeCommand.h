// velmorin-cli serialize: the road of one serialization, or a batch, exactly
// as the window's Serialize 1 runs it, over the core's session.
#pragma once

#include <string>

#include "platform/ini/IniLocation.h"

namespace velmorin::cli {

struct SerializeRequest {
  std::string Skeleton;
  int Count = 0;  // 0: one image, as Serialize 1
  bool Yes = false;
  bool Json = false;
};

class SerializeCommand {
 public:
  SerializeCommand(IniLocation location, SerializeRequest request)
      : FLocation(std::move(location)), FRequest(std::move(request)) {}

  // Returns the exit code; errors are raised.
  int Run();

 private:
  IniLocation FLocation;
  SerializeRequest FRequest;
};

}  // namespace velmorin::cli
