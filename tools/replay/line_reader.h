#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/replay/streams.h"

namespace kavarin {

// Reads a script a line at a time and keeps only the words a command can use, so that reading
// costs a small constant plus the longest argument, however long a line or a comment is.
class LineReader {
 public:
  // How many words the command `name` takes, its name included; 1 for an unknown one.
  using WordsTaken = size_t (*)(std::string_view name);
  // What is kept of a word that is no argument: more than any command's name, and more than a
  // message shows of a word.
  static constexpr size_t ShortWord = 64;

  LineReader(ScriptSource& source, WordsTaken wordsTaken);

  // Reads the next line; false at the end of the script. Throws ReadFailure.
  bool Next();

  // The words of the line just read (runs of bytes other than spaces and tabs): the command and
  // its arguments, then one more word if there is one, so that it can be named as extra. The
  // command and that extra word are cut to ShortWord. A blank line, or a comment (its first word
  // starts with '#'), has none. A '\r' just before the end of the line is no part of it.
  const std::vector<std::string_view>& Words() const { return words_; }

  // The number of the line just read, counted from 1.
  int64_t Number() const { return number_; }

  // The first line's start, up to 2 * ShortWord bytes, when it is a comment; else empty.
  const std::string& FirstComment() const { return header_; }

 private:
  bool Fill();
  void Take(char c);
  void EndWord();

  ScriptSource& source_;
  WordsTaken wordsTaken_;
  std::vector<char> chunk_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool ended_ = false;  // the source has reported its end
  int64_t number_ = 0;

  // The line being read.
  std::string text_;          // the kept words, back to back
  std::vector<size_t> ends_;  // where each kept word ends in text_
  std::vector<std::string_view> words_;
  bool inWord_ = false;
  bool skipping_ = false;  // nothing more of this line is needed
  bool inHeader_ = false;  // in the first line's comment
  std::string header_;
  size_t wordStart_ = 0;
  size_t keep_ = 0;   // how much of the current word is kept
  size_t taken_ = 1;  // words the line's command takes
};

}  // namespace kavarin
