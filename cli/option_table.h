#pragma once

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kavarin {

// What an option takes after its name.
enum class OptionTakes { Nothing, Value, OptionalValue };

// One option of a program's table, recording itself into `Target`. An option with a value takes
// it as "--name=VALUE" or as the next argument; an optional value is taken from the next
// argument only when that does not start with '-'.
template <class Target>
struct OptionOf {
  using Takes = OptionTakes;
  std::string_view name;  // "--help"
  Takes takes;
  std::string_view valueName;    // "FILE", shown in the usage
  std::string_view description;  // one line of the usage
  // Records the option (value as given, or nothing); returns what is wrong with the value.
  std::optional<std::string> (*apply)(Target&, std::optional<std::string_view> value);
};

// An argument shown in an error line: control characters would break the line.
inline std::string QuotedArgument(std::string_view argument) {
  std::string shown = "'";
  for (const char c : argument) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte < 0x20 || byte == 0x7f ? '?' : c;
  }
  return shown + "'";
}

// Reads `arguments` against `table` into `target`. An argument that is no option goes to
// `operand`, which returns whether it takes it (none does by default). Returns what is wrong,
// one line, for the first argument that is wrong; nothing when all are right.
template <class Target>
std::optional<std::string> ParseOptions(std::span<const OptionOf<Target>> table,
                                        std::span<const std::string_view> arguments, Target& target,
                                        bool (*operand)(Target&, std::string_view) = nullptr) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view word = arguments[i];
    const size_t equals = word.starts_with("--") ? word.find('=') : std::string_view::npos;
    const std::string_view name = word.substr(0, equals);
    const auto option = std::find_if(table.begin(), table.end(),
                                     [&](const OptionOf<Target>& o) { return o.name == name; });
    if (option == table.end()) {
      if (operand != nullptr && (word == "-" || !word.starts_with('-')) && operand(target, word))
        continue;
      return (word.starts_with('-') ? "unknown option " : "unexpected argument ") +
             QuotedArgument(word);
    }
    std::optional<std::string_view> value;
    if (equals != std::string_view::npos) {
      if (option->takes == OptionTakes::Nothing) return QuotedArgument(name) + " takes no value";
      value = word.substr(equals + 1);
    } else if (i + 1 < arguments.size() && (option->takes == OptionTakes::Value ||
                                            (option->takes == OptionTakes::OptionalValue &&
                                             !arguments[i + 1].starts_with('-')))) {
      value = arguments[++i];
    } else if (option->takes == OptionTakes::Value) {
      return QuotedArgument(name) + " needs " + std::string(option->valueName);
    }
    if (auto wrong = option->apply(target, value)) return QuotedArgument(name) + ": " + *wrong;
  }
  return std::nullopt;
}

// The usage's lines for the options of a table, one each.
template <class Target>
std::string OptionLines(std::span<const OptionOf<Target>> table) {
  std::string lines;
  for (const OptionOf<Target>& option : table) {
    // Appended, not "  " + std::string(...): g++ 12 at -O3 takes the copy into the front of a
    // string for an overlapping one, which it cannot be (GCC bug 105329).
    std::string left = std::string("  ").append(option.name);
    if (option.takes == OptionTakes::Value) left.append(" ").append(option.valueName);
    if (option.takes == OptionTakes::OptionalValue)
      left.append(" [").append(option.valueName).append("]");
    left.resize(std::max<size_t>(left.size() + 2, 24), ' ');
    lines.append(left).append(option.description).append("\n");
  }
  return lines;
}

}  // namespace kavarin
