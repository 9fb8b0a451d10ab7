// One session of the crash-loop test: opens the profile store on a real INI
// file, as the window does at start, and runs the "Serialize..." batch with
// the count given ("Auto Inc." and "Don't burn" come from the stored profile).
// The test kills it at random moments and starts it again.
//
//   velmorin_crashloop_child INI_FILE LOG_FILE COUNT
//
// The log (appended with single writes, so a kill never leaves half a line):
//   "take <n>"    just before number n is taken; when an output file for n
//                 already exists, n was handed out before: "REUSED <n>" is
//                 logged and the child exits with 3
//   "done <n>"    image n is complete
//   "lost"        the stored profile did not load (exit 4)
// Exit 0 when the batch ran to its end and reported it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "base/ParseInteger.h"
#include "platform/files/PathNames.h"
#include "serialize/AnswerOperator.h"
#include "serialize/SeqNumStamp.h"
#include "serialize/Session.h"

namespace {

int logFd = -1;

void Log(const std::string& line) {
  const std::string text = line + "\n";
  if (::write(logFd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::_Exit(5);
}

// Looks at the number about to be taken: its output must not exist yet.
void LookAtTake(const velmorin::WorkingProfile& profile) {
  const std::int32_t n = profile.NextSeqNum();
  Log("take " + std::to_string(n));
  const std::string output = velmorin::JoinPath(
      profile.Settings().OutputFolder, velmorin::OutputFileName(profile.SkeletonText(), n));
  if (std::filesystem::exists(output)) {
    Log("REUSED " + std::to_string(n));
    std::_Exit(3);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s INI_FILE LOG_FILE COUNT\n", argv[0]);
    return 64;
  }
  logFd = ::open(argv[2], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (logFd < 0) return 5;
  try {
    const std::int32_t count = velmorin::ParseInteger(argv[3]);
    velmorin::AnswerOperator op;
    velmorin::Session session(velmorin::IniLocation{argv[1], false}, op);
    velmorin::WorkingProfile& profile = session.Profile();
    session.Open();
    if (profile.SelectedIndex() != 0 || !profile.Settings().AutoIncSeq ||
        profile.Settings().BurnerCmdLine.empty()) {
      Log("lost");
      return 4;
    }
    // The batch image by image, with a look at each number as it is taken
    // and as its image is done.
    for (std::int32_t k = 1; k <= count; ++k) {
      LookAtTake(profile);
      if (!session.SerializeOne()) return 6;
      Log("done " + std::to_string(profile.NextSeqNum() - 1));
    }
    std::printf("%s\n", op.LastBoxText().c_str());
    return op.LastBoxText() == "Image serialized OK." ? 0 : 6;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
}
