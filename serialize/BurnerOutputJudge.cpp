#include "serialize/BurnerOutputJudge.h"

#include <algorithm>

#include "platform/system/TextEncoding.h"

namespace velmorin {

namespace {

// `line` as the failure's message quotes it: cut to `count` characters
// (UTF-8 characters where the core's text is UTF-8, never inside one; bytes
// where it is ANSI), each control character but a tab made a blank, so that
// a terminal's colour codes or a stray NUL reach neither the record nor the
// box.
std::string QuotedLine(std::string_view line, std::size_t count) {
  const bool utf8 = CoreTextEncoding() == CoreEncoding::Utf8;
  std::string quoted;
  std::size_t characters = 0;
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    // A byte 10xxxxxx goes on the character before it.
    const bool continues = utf8 && (byte & 0xC0) == 0x80;
    if (!continues && characters++ == count) break;
    quoted += (byte < 0x20 && c != '\t') || byte == 0x7F ? ' ' : c;
  }
  return quoted;
}

}  // namespace

BurnerOutputJudge::BurnerOutputJudge(const BurnerJudgement& judgement)
    : FFailText(judgement.FailText), FOkText(judgement.OkText) {}

bool BurnerOutputJudge::Watching() const {
  return (FFailText && !FFailLine) || (FOkText && !FOkMatched);
}

void BurnerOutputJudge::Feed(Stream stream, std::string_view chunk) {
  // Once every question has its answer, the rest of the output changes none.
  if (!Watching()) return;
  Consume(FStreams[static_cast<std::size_t>(stream)], chunk);
}

void BurnerOutputJudge::Finish() {
  for (LineState& state : FStreams) {
    if (!state.Pending.empty() || state.Overlong) EndLine(state, {});
    state.AfterCr = false;
  }
}

void BurnerOutputJudge::Consume(LineState& state, std::string_view chunk) {
  while (!chunk.empty()) {
    if (state.AfterCr) {
      state.AfterCr = false;
      // The LF of a CR LF whose CR ended the last chunk.
      if (chunk.front() == '\n') {
        chunk.remove_prefix(1);
        continue;
      }
    }
    const std::size_t end = chunk.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      AddToLine(state, chunk);
      return;
    }
    EndLine(state, chunk.substr(0, end));
    state.AfterCr = chunk[end] == '\r';
    chunk.remove_prefix(end + 1);
  }
}

void BurnerOutputJudge::AddToLine(LineState& state, std::string_view part) {
  if (state.Overlong || part.empty()) return;
  const std::size_t room = kMaxLineLength - state.Pending.size();
  if (part.size() < room) {
    // Room for a whole line at once, the first time a line spans two chunks,
    // so the buffer never grows past it.
    if (state.Pending.size() + part.size() > state.Pending.capacity()) {
      state.Pending.reserve(kMaxLineLength);
    }
    state.Pending.append(part);
    return;
  }
  // The line has reached its limit: it is judged on what it holds, and the
  // rest of it, up to its end, is dropped as it comes.
  state.Pending.reserve(kMaxLineLength);
  state.Pending.append(part.substr(0, room));
  Judge(state.Pending);
  state.Pending.clear();
  state.Overlong = true;
}

void BurnerOutputJudge::EndLine(LineState& state, std::string_view part) {
  if (!state.Overlong) {
    if (state.Pending.empty()) {
      // The whole line lies in this chunk: judged where it is, without a copy.
      Judge(part.substr(0, std::min(part.size(), kMaxLineLength)));
    } else {
      AddToLine(state, part);
      if (!state.Overlong) Judge(state.Pending);
    }
  }
  state.Pending.clear();
  state.Overlong = false;
}

void BurnerOutputJudge::Judge(std::string_view line) {
  if (FFailText && !FFailLine && FFailText->Matches(line)) {
    FFailLine = QuotedLine(line, kMaxQuotedLength);
  }
  if (FOkText && !FOkMatched && FOkText->Matches(line)) FOkMatched = true;
}

std::size_t BurnerOutputJudge::HeldBytes() const {
  std::size_t held = FFailLine ? FFailLine->capacity() : 0;
  for (const LineState& state : FStreams) held += state.Pending.capacity();
  return held;
}

}  // namespace velmorin
