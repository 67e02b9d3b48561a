#include "watch/ad_url.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qm {

namespace {

// Only the ASCII letters are lower-cased, byte by byte, so no lower-cased copy of the address is ever
// made. Lower-casing every letter of the text would change an answer only for the few characters whose
// lower case is an ASCII letter, such as the Kelvin sign (lower case "k") and the capital I with a dot
// above (lower case "i"); here they keep counting as non-letters, like every other non-ASCII character.
// In UTF-8 every byte of such a character is above 0x7F, so it is never taken for a letter either.
constexpr unsigned char Lower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

constexpr bool IsLetter(char c) {
    const unsigned char lower = Lower(c);
    return lower >= 'a' && lower <= 'z';
}

// Whether `word` (lower case) stands in `text` from `pos` on.
bool WordAt(std::string_view text, std::size_t pos, std::string_view word) {
    if (pos > text.size() || text.size() - pos < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (Lower(text[pos + i]) != static_cast<unsigned char>(word[i])) {
            return false;
        }
    }
    return true;
}

// Every word the rule looks for begins with one of these two-letter openings: "lo" (load), "ad" (advi,
// ads, adv and ad itself), "sp" (sponsor), "pr" (promot) and "?r" (?ref). Where the text is read one
// place at a time (its first and last places, and the rest of a word that the block scan below could
// only begin), a table tells for each byte which openings it can begin and which it can complete.
enum Opening : std::uint8_t { kLo = 1, kAd = 2, kSp = 4, kPr = 8, kQr = 16 };

// Of which openings a byte can be the first letter (low byte) and the second letter (high byte).
using RoleTable = std::array<std::uint16_t, 256>;

constexpr void Mark(RoleTable& table, char letter, int shift, std::uint8_t opening) {
    const auto lower = static_cast<unsigned char>(letter);
    table[lower] |= static_cast<std::uint16_t>(opening << shift);
    if (lower >= 'a' && lower <= 'z') {
        table[lower - 'a' + 'A'] |= static_cast<std::uint16_t>(opening << shift);
    }
}

constexpr RoleTable MakeRoles() {
    RoleTable table{};
    const char first[] = "lasp?";
    const char second[] = "odprr";
    const std::uint8_t openings[] = {kLo, kAd, kSp, kPr, kQr};
    for (int i = 0; i < 5; ++i) {
        Mark(table, first[i], 0, openings[i]);
        Mark(table, second[i], 8, openings[i]);
    }
    return table;
}

constexpr RoleTable kRoles = MakeRoles();

// The opening that the bytes at `i` and `i` + 1 form, or 0.
std::uint8_t OpeningAt(std::string_view url, std::size_t i) {
    return static_cast<std::uint8_t>(kRoles[static_cast<unsigned char>(url[i])] &
                                     (kRoles[static_cast<unsigned char>(url[i + 1])] >> 8));
}

// What the scan has found so far.
struct Findings {
    bool adWord = false;
    bool standaloneAd = false;
};

// Reads the word that opens at `i`; false when it is an exclusion, which ends the scan.
bool ReadWord(std::string_view url, std::size_t i, std::uint8_t opening, Findings& found) {
    const std::size_t n = url.size();
    switch (opening) {
        case kLo:
            return !WordAt(url, i + 2, "ad");  // "load"
        case kAd: {
            const unsigned char next = i + 2 < n ? Lower(url[i + 2]) : 0;
            if (next == 'v') {
                if (i + 3 < n && Lower(url[i + 3]) == 'i') {
                    return false;  // "advi"
                }
                found.adWord = true;  // "adv"
            } else if (next == 's') {
                found.adWord = true;  // "ads"
            }
            // "ad" at either end of the text stands alone whatever is on its other side.
            if (!found.standaloneAd) {
                found.standaloneAd = i == 0 || i + 2 == n || (!IsLetter(url[i - 1]) && !IsLetter(url[i + 2]));
            }
            return true;
        }
        case kSp:
            found.adWord = found.adWord || WordAt(url, i + 2, "onsor");
            return true;
        case kPr:
            found.adWord = found.adWord || WordAt(url, i + 2, "omot");
            return true;
        case kQr:
            found.adWord = found.adWord || WordAt(url, i + 2, "ef");
            return true;
        default:
            return true;
    }
}

// The middle of the text is scanned sixteen places at a time, without a branch for each word found: ad
// words and "ad" occur often in the addresses of a page, and branching on each of them costs more than
// the comparisons. A block is sixteen bytes as one value, in the compiler's generic vectors: one SIMD
// register where the target has them, plain code where it has not. A comparison gives 0xFF (-1) in each
// byte where it holds and 0 elsewhere.
using Block = std::uint8_t __attribute__((vector_size(16)));
using Mask = std::int8_t __attribute__((vector_size(16)));

Block LoadBlock(const char* p) {
    Block block;
    std::memcpy(&block, p, sizeof block);
    return block;
}

bool Any(Mask mask) {
    std::uint64_t halves[2];
    std::memcpy(halves, &mask, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

// What the sixteen places from `p` on open, each as a mask with one byte per place.
struct BlockFindings {
    Mask exclusion;     // "load" or "advi"
    Mask adWord;        // "ads" or "adv"
    Mask standaloneAd;  // "ad" with no letter on either side
    Mask maybeAdWord;   // "spo", "pro" or "?re": the rest of the word is read one byte at a time
};

// Reads the bytes from `p` - 1 to `p` + 18. Setting the 0x20 bit folds each upper-case letter, and only
// it, onto its lower case, so every comparison with a lower-case letter is exact; "?" is compared with
// the byte as it is.
BlockFindings ScanBlock(const char* p) {
    const Block raw = LoadBlock(p);
    const Block before = LoadBlock(p - 1) | 0x20;
    const Block c0 = raw | 0x20;
    const Block c1 = LoadBlock(p + 1) | 0x20;
    const Block c2 = LoadBlock(p + 2) | 0x20;
    const Block c3 = LoadBlock(p + 3) | 0x20;

    const Mask ad = (c0 == 'a') & (c1 == 'd');
    const Mask letterBefore = (before >= 'a') & (before <= 'z');
    const Mask letterAfter = (c2 >= 'a') & (c2 <= 'z');

    BlockFindings found;
    found.exclusion =
        ((c0 == 'l') & (c1 == 'o') & (c2 == 'a') & (c3 == 'd')) | (ad & (c2 == 'v') & (c3 == 'i'));
    found.adWord = ad & ((c2 == 's') | (c2 == 'v'));
    found.standaloneAd = ad & ~letterBefore & ~letterAfter;
    found.maybeAdWord =
        (((c0 == 's') & (c1 == 'p')) | ((c0 == 'p') & (c1 == 'r')) | ((raw == '?') & (c1 == 'r'))) &
        ((c2 == 'o') | (c2 == 'e'));
    return found;
}

// Reads, one byte at a time, the words that may open at the places of `mask` from `base` on.
void ReadMaybeAdWords(std::string_view url, std::size_t base, Mask mask, Findings& found) {
    for (std::size_t k = 0; k < 16 && !found.adWord; ++k) {
        if (mask[k] != 0) {
            const std::uint8_t opening = OpeningAt(url, base + k);
            ReadWord(url, base + k, opening, found);
        }
    }
}

}  // namespace

bool IsAdUrl(std::string_view url) {
    // One pass finds every word at once. The exclusions beat everything, so the first one ends the
    // search; the ad words and the standalone "ad" only count once the whole text has been read without
    // an exclusion. Whether some "ad" stands alone does not depend on which "ad" is looked at first.
    const std::size_t n = url.size();
    if (n < 2) {
        return false;
    }
    Findings found;
    // The first place has nothing before it; then come blocks of sixteen places while the bytes that a
    // block reads are there, then the last places one by one.
    if (!ReadWord(url, 0, OpeningAt(url, 0), found)) {
        return false;
    }
    std::size_t i = 1;
    Mask adAnywhere{};
    for (; i + 19 <= n; i += 16) {
        const BlockFindings block = ScanBlock(url.data() + i);
        if (Any(block.exclusion)) {
            return false;
        }
        adAnywhere |= block.adWord | block.standaloneAd;
        if (!found.adWord && Any(block.maybeAdWord) && !Any(adAnywhere)) {
            ReadMaybeAdWords(url, i, block.maybeAdWord, found);
        }
    }
    for (; i + 1 < n; ++i) {
        const std::uint8_t opening = OpeningAt(url, i);
        if (opening != 0 && !ReadWord(url, i, opening, found)) {
            return false;
        }
    }
    return found.adWord || found.standaloneAd || Any(adAnywhere);
}

}  // namespace qm
