// The texts of the about window, built from the language texts. Portable.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Where the about window's three buttons lead. Addresses of the project,
// never of a person; the shell opens each with its own handler.
namespace aboutLink {
inline constexpr char16_t webPage[] = u"https://pagewarden.org/";
inline constexpr char16_t donation[] = u"https://pagewarden.org/donate";
inline constexpr char16_t mail[] = u"mailto:hello@pagewarden.org";
} // namespace aboutLink

// Longest caption and body the window shows; longer language texts are cut.
inline constexpr std::size_t aboutCaptionCapacity = 400;
inline constexpr std::size_t aboutBodyCapacity = 2600;

// "<text 19> <version> <text 20> <product>", e.g. "Version 0.5.0.0 of Pagewarden".
std::u16string aboutCaption(const std::u16string& version, const std::u16string& productName);
// Text 6, then the five labelled entries (7 and 8, 9 and 10, ... 15 and 16),
// each value on the line under its label, indented by a tab; then, when one
// is given, who counts the pages (this program, or the service) the same way;
// then, when given, a heading and its lines (the shipping state of a central
// database).
std::u16string aboutBody(const std::u16string& countedBy = u"", const std::u16string& extraHeading = u"",
    const std::vector<std::u16string>& extra = {});
