#include "recording/CommandMarks.h"

#include "fields/CommandTexts.h"

namespace recording {

void MarkWrites(DriverLink& link, StatusRecording& recording) {
  link.SetWriteObserver([&recording](const RegisterWrite& write) {
    std::string text = fields::CommandText(write.start, write.words, write.count);
    if (write.result != ResultSuccess) text += " (" + ResultText(write.result) + ")";
    recording.AddMark(SteadyClock::now(), MarkKind::Command, std::move(text));
  });
}

void StopMarkingWrites(DriverLink& link) { link.SetWriteObserver({}); }

}  // namespace recording
