#pragma once

#include <cstdint>
#include <string>

#include "engine/notice.h"

namespace kavendrum {

// How a host should take a notice: a failure (the run did not do what was asked), or a message
// that what was asked is done.
enum class NoticeKind { Failure, Success };

// The caption of a notice's box.
const char* CaptionOf(NoticeId id);
const char* CaptionOf(QuestionId id);
NoticeKind KindOf(NoticeId id);

// The words the user is shown, letter for letter as the program has always shown them, with the
// notice's path and numbers filled in where the text has them.
std::string TextOf(const Notice& notice);
std::string TextOf(const Question& question);

// A size as people read it, with one decimal: "2.0 GiB", "512.0 KiB", "100 bytes"; rounded up
// for a need and down for what is had, so that a need never looks as if it fitted.
std::string SizeForPeople(std::uint64_t bytes, bool roundUp = false);

}  // namespace kavendrum
