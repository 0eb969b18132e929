#include "recording/CommandMarks.h"


namespace recording {

void MarkWrites(DriverLink& link, StatusRecording& recording) {
  link.SetWriteObserver([&recording](const RegisterWrite& write) {
    Mark mark;
    mark.start = write.start;
    mark.words.assign(write.words, write.words + write.count);
    mark.result = write.result;
    recording.AddMark(SteadyClock::now(), std::move(mark));
  });
}

void StopMarkingWrites(DriverLink& link) { link.SetWriteObserver({}); }

}  // namespace recording
