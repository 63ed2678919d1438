#pragma once

#include <string>
#include <string_view>

namespace vaskord::data {

// The text form used for comparing and matching: each UTF-16 unit case-folded
// (ASCII fast, the rest through Unicode simple case folding), so that "ab",
// "AB" and "Ab" are equal as Access's text comparison has them.
void foldCaseInto(std::u16string_view text, std::u16string& out);
std::u16string foldCase(std::u16string_view text);

// A LIKE pattern of the Access (ANSI-92) dialect, prepared once per query.
//
// Wildcard rules:
//   %  matches any run of characters, including none;
//   _  matches exactly one character (a surrogate pair counts as one);
//   every other character matches itself, ignoring letter case (the pattern
//   and the text are both case-folded).
// There is no escape character: "%" and "_" in the data are matched by the
// wildcards like any other character, and "[" is an ordinary character.
//
// Matching is bounded: a run of % collapses into one, each % is retried at
// most once per text position (the last % wins, earlier ones never need to
// backtrack), so the cost is at most pattern length × text length; a text
// shorter than the pattern's fixed characters fails at once.
class LikePattern {
public:
    static constexpr std::size_t kMaxLength = 4000;

    LikePattern() = default;
    // The pattern as written, not yet folded. Longer than kMaxLength: throws.
    explicit LikePattern(std::u16string_view pattern);

    // `foldedText` must already be case-folded.
    bool matches(std::u16string_view foldedText) const;

private:
    std::u16string m_pattern;        // folded, runs of % collapsed
    std::size_t m_minimumUnits = 0;  // code units the text needs at the least
};

}  // namespace vaskord::data
