// serializebench SKELETON OUTDIR INI COUNT
//
// The "Serialize..." command without the window: a batch of COUNT images from
// SKELETON with "Auto Inc." on and "Don't burn" checked, each written to
// OUTDIR, the profile stored durably in INI (through the real profile store)
// after every number. The serial goes MSB first, 2 bytes, at 0x100, starting
// at 1. Prints the images per second of the batch alone.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "base/ParseInteger.h"
#include "platform/ini/IniFile.h"
#include "serialize/AnswerOperator.h"
#include "serialize/Session.h"

using namespace velmorin;

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: serializebench SKELETON OUTDIR INI COUNT [RECORD]\n");
    return 2;
  }
  try {
    // With RECORD, the production record is switched on as an operator would.
    if (argc == 6) IniFile(argv[3]).WriteString("Options", "ProductionLog", argv[5]);
    const std::int32_t count = ParseInteger(argv[4]);
    AnswerOperator op;
    // Opened as the window opens it, so the batch holds the INI file's lock.
    Session session(velmorin::IniLocation{argv[3], false}, op);
    velmorin::WorkingProfile& profile = session.Profile();
    session.Open();
    profile.EditSkeletonText(argv[1]);
    profile.EditableSettings().NextSeqNum = 1;
    profile.EditableSettings().AutoIncSeq = true;
    profile.EditableSettings().SeqNumSize = 2;
    profile.EditableSettings().SeqNumOfs = {0x100, 0, 0, 0};
    profile.EditableSettings().SetSeqNumOfs = {true, false, false, false};
    profile.EditableSettings().ByteOrder = SerialByteOrder::MsbFirst;
    profile.EditableSettings().DontBurn = true;
    profile.EditableSettings().DontSave = false;
    profile.EditableSettings().OutputFolder = argv[2];

    const auto start = std::chrono::steady_clock::now();
    const BatchOutcome outcome = session.SerializeBatch(count);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    if (!outcome.Finished()) {
      std::fprintf(stderr, "serializebench: batch did not finish (%s)\n", op.LastBoxText().c_str());
      return 1;
    }
    std::printf("%d images in %.3f s: %.1f images/s\n", count, elapsed.count(),
                count / elapsed.count());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "serializebench: %s\n", e.what());
    return 1;
  }
}
