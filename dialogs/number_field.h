// The two-step check of the settings dialogs' number fields: first whether the
// text can be read as a number at all, then whether it is a whole positive number
// as the configuration files take it.
#pragma once

#include <string_view>

namespace tellurix {

// A text "can be read as a number" when it is, in this order:
//   optional blanks (spaces or tabs),
//   an optional sign "+" or "-",
//   digits with at most one decimal point among or after them ("8", "8.", ".5",
//     "80.0"; at least one digit),
//   an optional exponent: "e" or "E", an optional sign, one or more digits,
//   optional blanks.
// Nothing else: no digit-group separators, currency signs, hexadecimal or words.
bool ReadsAsNumber(std::string_view text);

// One to fifteen decimal digits, the first not 0: no blanks, sign, point or exponent.
bool IsPositiveWholeNumber(std::string_view text);

enum class NumberVerdict { NotANumber, NotAPositiveWholeNumber, Accepted };
NumberVerdict CheckNumberField(std::string_view text);

}  // namespace tellurix
