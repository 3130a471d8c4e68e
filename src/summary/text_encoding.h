// Report texts arrive in two encodings: the OS name is UTF-8 while device
// names are bytes in the endpoint's ANSI code page. Everything the summary
// keeps is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace cc::summary {

bool is_valid_utf8(std::string_view text);

// Windows-1252 bytes as UTF-8; the five unassigned bytes map to the C1
// control of the same value, as the platform's own conversion does.
std::string windows1252_to_utf8(std::string_view text);

// The text unchanged when it is valid UTF-8, else read as Windows-1252.
std::string to_utf8(std::string_view text);

// The text (either encoding) as UTF-8 in lower case, for comparing names
// as Windows compares computer names: "MÜLLER-PC" written in a code page
// and in UTF-8 is one name. Folds ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic capitals.
std::string fold_case(std::string_view text);

}  // namespace cc::summary
