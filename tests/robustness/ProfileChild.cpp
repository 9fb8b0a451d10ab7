// A stand-in for the window in a process of its own, for tests that need two
// real processes on one INI file or a fault injected into this one's reads.
// It runs the steps given, in order, each as the operator's action:
//
//   velmorin_profile_child INI_FILE STEP...
//     open          start-up (ProfileStore::Open)
//     select:<n>    pick list entry n (LoadProfile)
//     type:<path>   type a path into the skeleton-file box
//     batch:<n>     "Serialize..." with n images
//     close         shut-down (ProfileStore::Close)
//     hold          print "holding" and wait to be killed
//
// Each step prints "<step>: ok" or "<step>: <error message>" and the run goes
// on, as the window goes on after an error box; boxes print "box: <text>".
// Standard output is unbuffered, so a kill never loses a line already done.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "base/ParseInteger.h"
#include "serialize/AnswerOperator.h"
#include "serialize/Session.h"

namespace {

bool Starts(const std::string& step, const std::string& word, std::string& rest) {
  if (step.rfind(word, 0) != 0) return false;
  rest = step.substr(word.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s INI_FILE STEP...\n", argv[0]);
    return 64;
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  velmorin::AnswerOperator op;
  op.SetBoxObserver(
      [](const velmorin::AnswerOperator::Box& box) { std::printf("box: %s\n", box.Text.c_str()); });
  velmorin::Session session(velmorin::IniLocation{argv[1], false}, op);
  velmorin::WorkingProfile& profile = session.Profile();
  for (int i = 2; i < argc; ++i) {
    const std::string step = argv[i];
    std::string rest;
    try {
      if (step == "open") {
        session.Open();
      } else if (step == "close") {
        session.Close();
      } else if (Starts(step, "select:", rest)) {
        profile.Select(std::atoi(rest.c_str()));
        session.LoadSelectedProfile();
      } else if (Starts(step, "type:", rest)) {
        profile.EditSkeletonText(rest);
      } else if (Starts(step, "batch:", rest)) {
        session.SerializeBatch(velmorin::ParseInteger(rest));
      } else if (step == "hold") {
        std::printf("holding\n");
        for (;;) ::pause();
      } else {
        std::fprintf(stderr, "unknown step %s\n", step.c_str());
        return 64;
      }
      std::printf("%s: ok\n", step.c_str());
    } catch (const std::exception& e) {
      std::printf("%s: %s\n", step.c_str(), e.what());
    }
  }
  return 0;
}
