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

#include "IniFile.h"
#include "ProfileStore.h"
#include "Serializer.h"

namespace {

using namespace velmorin;

// The window's working copy of the profile, as plain fields.
class PlainView : public ProfileView {
 public:
  ProfileSettings settings;
  std::string text;

  ProfileSettings Settings() const override { return settings; }
  void SetSettings(const ProfileSettings& value) override { settings = value; }
  std::int32_t NextSeqNum() const override { return settings.NextSeqNum; }
  void SetNextSeqNum(std::int32_t value) override { settings.NextSeqNum = value; }
  std::string SkelFileText() const override { return text; }
  void SetSkelFileText(const std::string& value) override { text = value; }
  std::vector<std::string> SkelFileItems() const override { return {}; }
  void SetSkelFileItems(const std::vector<std::string>&) override {}
  void AddSkelFileItem(const std::string&) override {}
  void DeleteSkelFileItem(int) override {}
  int SkelFileIndex() const override { return -1; }
  void SetSkelFileIndex(int) override {}
  bool ForgetChanges() const override { return false; }
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
};

// Answers the count prompt and remembers the last box.
class BatchOperator : public Operator {
 public:
  explicit BatchOperator(std::string count) : FCount(std::move(count)) {}
  TModalResult ShowMessageBox(const std::string& text, BoxKind, BoxButtons) override {
    lastBox = text;
    return mrOk;
  }
  std::string PromptText(const std::string&, const std::string&, const std::string&) override {
    return FCount;
  }
  std::string lastBox;

 private:
  std::string FCount;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: serializebench SKELETON OUTDIR INI COUNT [RECORD]\n");
    return 2;
  }
  try {
    // With RECORD, the production record is switched on as an operator would.
    if (argc == 6) IniFile(argv[3]).WriteString("Options", "ProductionLog", argv[5]);
    PlainView view;
    BatchOperator op(argv[4]);
    // Opened as the window opens it, so the batch holds the INI file's lock.
    ProfileStore store(argv[3], view, op);
    store.Open();
    view.text = argv[1];
    view.settings.NextSeqNum = 1;
    view.settings.AutoIncSeq = true;
    view.settings.SeqNumSize = 2;
    view.settings.SeqNumOfs = {0x100, 0, 0, 0};
    view.settings.SetSeqNumOfs = {true, false, false, false};
    view.settings.ByteOrder = 0;
    view.settings.DontBurn = true;
    view.settings.DontSave = false;
    view.settings.OutputFolder = argv[2];
    Serializer serializer(view, store, op);

    const auto start = std::chrono::steady_clock::now();
    serializer.SerializeBatch("Velmorin");
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    const int count = std::atoi(argv[4]);
    if (op.lastBox != std::to_string(count) + " images serialized OK.") {
      std::fprintf(stderr, "serializebench: batch did not finish (%s)\n", op.lastBox.c_str());
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
