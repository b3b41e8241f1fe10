#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/content_verification.h"
#include "engine/verification.h"

namespace kavendrum {

// The three columns scripts read: mark, expected size, path; with `onlyBad` the Bad rows alone.
void PrintRows(std::FILE* out, const std::vector<PieceEntry>& pieces, bool onlyBad);

// Why a Bad row is bad, in the words the command line prints after its path, from what the
// verification found; `contentDiffers` when its digest was compared and differed.
std::string BadPieceReason(const PieceEntry& entry, bool contentDiffers);

// Why each Bad row is bad, one line each on standard error, so that the three columns stay as
// scripts read them; standard output is flushed first, so that the two never mix on one file.
void PrintReasons(const ContentVerification& checked);

// How many pieces a verification found missing, and bad otherwise, of how many.
struct BadCounts {
    std::uint64_t missing = 0;
    std::uint64_t bad = 0;
    std::uint64_t total = 0;

    bool None() const { return missing + bad == 0; }
    // Such as "1 missing and 2 bad of 7 pieces".
    std::string Text() const;
};
BadCounts CountBad(const Verification& verification);

// After the rows of a failed verification: how many pieces are missing or bad and what to do
// about it, on standard error.
void PrintBadSummary(const Verification& verification, const std::string& headPath);

}  // namespace kavendrum
