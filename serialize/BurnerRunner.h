// How the serializer runs the burner. The default runs it with ExecAndWait and
// blocks until it ends; the window may supply its own runner (to watch the
// burner or offer a way to stop it), keeping the same contract: a command line
// and a visibility value in, the 32-bit result out (0 is success).
#pragma once

#include <cstdint>
#include <string>

#include "ExecAndWait.h"

namespace velmorin {

class BurnerRunner {
 public:
  virtual ~BurnerRunner() = default;
  virtual std::uint32_t Run(const std::string& commandLine, int show) = 0;
};

class ExecBurnerRunner : public BurnerRunner {
 public:
  // `observer`, when given, is told when the burner starts and ends.
  explicit ExecBurnerRunner(ProcessObserver* observer = nullptr) : FObserver(observer) {}
  std::uint32_t Run(const std::string& commandLine, int show) override {
    return ExecAndWait(commandLine, show, FObserver);
  }

 private:
  ProcessObserver* FObserver;
};

}  // namespace velmorin
