#include "tools/replay/line_reader.h"

#include <cstring>

namespace kavarin {

LineReader::LineReader(ScriptSource& source, WordsTaken wordsTaken)
    : source_(source), wordsTaken_(wordsTaken), chunk_(1 << 16) {}

bool LineReader::Fill() {
  if (ended_) return false;
  pos_ = 0;
  end_ = source_.Read(chunk_.data(), chunk_.size());
  ended_ = end_ == 0;
  return !ended_;
}

bool LineReader::Next() {
  text_.clear();
  ends_.clear();
  words_.clear();
  inWord_ = false;
  skipping_ = false;
  inHeader_ = false;
  taken_ = 1;
  bool any = false;             // the line has at least its end
  bool carriageReturn = false;  // a '\r', held back until the next byte shows if it ends the line
  while (pos_ < end_ || Fill()) {
    if (skipping_) {
      const void* newline = std::memchr(chunk_.data() + pos_, '\n', end_ - pos_);
      if (newline == nullptr) {
        pos_ = end_;
        continue;
      }
      pos_ = static_cast<size_t>(static_cast<const char*>(newline) - chunk_.data());
    }
    const char c = chunk_[pos_++];
    any = true;
    if (c == '\n') break;
    if (carriageReturn) Take('\r');
    carriageReturn = c == '\r';
    if (!carriageReturn) Take(c);
  }
  if (!any) return false;
  if (inWord_) EndWord();
  size_t begin = 0;
  for (size_t end : ends_) {
    words_.emplace_back(text_.data() + begin, end - begin);
    begin = end;
  }
  ++number_;
  return true;
}

void LineReader::Take(char c) {
  if (skipping_) return;
  if (inHeader_) {
    if (header_.size() < ShortWord * 2)
      header_.push_back(c);
    else
      skipping_ = true;
    return;
  }
  if (c == ' ' || c == '\t') {
    if (inWord_) EndWord();
    return;
  }
  if (!inWord_) {
    if (ends_.empty() && c == '#') {
      // A comment; the first line's is kept in part, for a record's header.
      if (number_ == 0) {
        inHeader_ = true;
        // One character assigned, not the literal "#": g++ 12 takes that copy for an
        // overlapping one, which it cannot be (GCC bug 105329).
        header_.assign(1, '#');
      } else {
        skipping_ = true;
      }
      return;
    }
    inWord_ = true;
    wordStart_ = text_.size();
    const size_t index = ends_.size();
    keep_ = index == 0 || index >= taken_ ? ShortWord : std::string::npos;
  }
  if (text_.size() - wordStart_ < keep_) text_.push_back(c);
}

void LineReader::EndWord() {
  inWord_ = false;
  ends_.push_back(text_.size());
  if (ends_.size() == 1) taken_ = wordsTaken_(text_);
  // The rest of the line matters only as far as telling that there is more.
  if (ends_.size() > taken_) skipping_ = true;
}

}  // namespace kavarin
