#include "SerializeCommand.h"

#include "Exceptions.h"

namespace velmorin::cli {

int SerializeCommand::Run() {
  throw Exception("serialize is not wired to the session yet");
}

}  // namespace velmorin::cli
