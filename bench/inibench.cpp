// inibench [SECTIONS] [ROUNDS]
//
// The profile operations on a large INI file: generates one of SECTIONS
// profiles (5000 by default, about 3 MB) in a temporary folder, then times the
// start-up (Open), a LoadProfile of a profile deep in the file (the path put
// into the box, as Browse does, while an entry is selected; the list itself
// only holds the names that fit the listing buffer), ProfileUnchanged and
// StoreProfile, each the median of ROUNDS runs (15 by default), against
// one read and parse of the whole file (a single ReadString). Prints each time
// and the ratio of LoadProfile to the one parse.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/ini/IniFile.h"
#include "profiles/ProfileStore.h"
#include "serialize/AnswerOperator.h"
#include "serialize/Messages.h"

namespace {

using namespace velmorin;

std::string SectionName(int n) {
  char name[96];
  std::snprintf(name, sizeof name, "/srv/production/firmware/line-%02d/board-rev%c_%05d.hex",
                n % 17, 'A' + n % 5, n);
  return name;
}

// One profile as the store writes it, with a comment and a longer command
// line such as operators keep.
std::string Section(int n) {
  const std::string name = SectionName(n);
  std::string s = "; board " + std::to_string(n) + ", checked by the line supervisor\r\n";
  s += "[" + name + "]\r\n";
  s += "NextSeqNum=" + std::to_string(100000 + n) + "\r\nAutoIncSeq=1\r\nSeqNumSize=4\r\n";
  s += "SetSeqNumOfs1=1\r\nSeqNumOfs1=" + std::to_string(0x7F0 + n) + "\r\n";
  s += "SetSeqNumOfs2=0\r\nSeqNumOfs2=0\r\nSetSeqNumOfs3=1\r\nSeqNumOfs3=65520\r\n";
  s += "SetSeqNumOfs4=0\r\nSeqNumOfs4=0\r\nByteOrder=1\r\n";
  s += "BurnerCmdLine=/opt/programmer/bin/burn --device stm32f407 --verify --erase "
       "--speed 4000 --port usb:" +
       std::to_string(n % 8) + " --log /var/log/burn/" + std::to_string(n) + ".log \"$image\"\r\n";
  s += "DontBurn=0\r\nHideBurner=1\r\n";
  s += "OutputFolder=/srv/production/output/line-" + std::to_string(n % 17) +
       "/images/serialized/" + std::to_string(n) + "\r\n";
  s += "DontSave=0\r\n\r\n";
  return s;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The median wall time of `rounds` runs of `body`, in milliseconds.
double Time(int rounds, const std::function<void()>& body) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    body();
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    times.push_back(elapsed.count());
  }
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  const int sections = argc > 1 ? std::atoi(argv[1]) : 5000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 15;
  if (sections < 2 || rounds < 1) {
    std::fprintf(stderr, "usage: inibench [SECTIONS>=2] [ROUNDS>=1]\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("inibench-" + std::to_string(::getpid()));
  try {
    fs::create_directories(folder);
    const std::string ini = (folder / "velmorin.ini").string();
    const int deep = sections * 4 / 5;  // an entry far into the file
    {
      std::string text;
      for (int n = 0; n < sections; ++n) text += Section(n);
      text += "[Options]\r\nDefaultImg=1\r\n";
      std::ofstream(ini, std::ios::binary) << text;
    }
    const auto bytes = fs::file_size(ini);
    // No to "modified, save?": the timed loads write nothing.
    AnswerOperator op(mrNo);
    WorkingProfile profile;
    const IniFile file(ini);
    const double parse = Time(rounds, [&] { (void)file.ReadString("Options", "DefaultImg", ""); });

    double open = 0;
    {
      std::vector<double> times;
      for (int i = 0; i < rounds; ++i) {
        ProfileStore store(ini, profile, [&op] { return message::AskToSaveChanges(op); });
        const auto start = std::chrono::steady_clock::now();
        store.Open();
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - start;
        times.push_back(elapsed.count());
        // Destroyed without Close: nothing is written.
      }
      open = Median(times);
    }

    ProfileStore store(ini, profile, [&op] { return message::AskToSaveChanges(op); });
    store.Open();
    if (profile.SelectedIndex() != 1 || profile.EditableSettings().NextSeqNum != 100001) {
      std::fprintf(stderr, "inibench: the start-up did not load entry 1\n");
      return 1;
    }
    // Switching between two unchanged profiles: the comparison, then the load.
    int next = deep;
    const double load = Time(rounds, [&] {
      profile.EditSkeletonText(SectionName(next));
      store.LoadProfile();
      next = next == deep ? deep + 1 : deep;
    });
    if (profile.EditableSettings().NextSeqNum != 100000 + (next == deep ? deep + 1 : deep)) {
      std::fprintf(stderr, "inibench: LoadProfile did not load the deep profile\n");
      return 1;
    }
    bool unchanged = false;
    const double compare = Time(rounds, [&] { unchanged = store.ProfileUnchanged(); });
    if (!unchanged) {
      std::fprintf(stderr, "inibench: a loaded profile compares as changed\n");
      return 1;
    }
    const double storeTime = Time(rounds, [&] {
      profile.EditableSettings().NextSeqNum += 1;
      store.StoreProfile();
    });

    std::printf("INI file: %d sections, %.2f MB\n", sections, static_cast<double>(bytes) / 1e6);
    std::printf("one parse (ReadString)  %8.2f ms\n", parse);
    std::printf("Open                    %8.2f ms\n", open);
    std::printf("LoadProfile             %8.2f ms\n", load);
    std::printf("ProfileUnchanged        %8.2f ms\n", compare);
    std::printf("StoreProfile (durable)  %8.2f ms\n", storeTime);
    std::printf("LoadProfile / one parse %8.2f\n", load / parse);
    fs::remove_all(folder);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "inibench: %s\n", e.what());
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 1;
  }
}
