#pragma once

#include <string_view>

namespace qm {

// Whether an address looks like an advertisement's: the rule behind IETopWatcher::IsAd. Tested in this
// order, the first test that decides ends it:
//   1. "load" or "advi" anywhere: not an ad (download and advice pages are never ads);
//   2. "ads", "adv", "sponsor", "promot" or "?ref" anywhere: an ad;
//   3. an "ad" that opens or closes the text, or that has no letter on either side: an ad;
//   4. anything else, the empty text included: not an ad.
// Letters are compared without regard to case; a letter is "a" to "z" after lower-casing, so digits,
// punctuation and every byte of a non-ASCII character count as non-letters.
//
// A pure function: it reads `url` once from left to right and allocates nothing.
bool IsAdUrl(std::string_view url);

}  // namespace qm
